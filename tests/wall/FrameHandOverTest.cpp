// The wall takes the frames it is given instead of copying them: each block
// is drawn as it came and freed exactly once, when the next frame replaces
// it, when the cell is emptied, or with the wall. Real GL under Xvfb; the
// program's own calls to free() are counted through the linker's --wrap.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <map>
#include <memory>

#include "WallFrames.h"
#include "wall/CustomYV12Widget.h"
#include "wall/ScreenCtrl.h"

namespace {
std::map<const void*, int>* watched = nullptr;  // block -> times freed
}  // namespace

extern "C" void __real_free(void* p);
extern "C" void __wrap_free(void* p) {
    if (watched) {
        auto it = watched->find(p);
        if (it != watched->end()) {
            ++it->second;
        }
    }
    __real_free(p);
}

namespace {

class FrameHandOver : public ::testing::Test {
protected:
    void SetUp() override {
        watched = &freed;
        window.resize(400, 300);
        (new QVBoxLayout(&window))->addWidget(wall);
        wall->SetLayout(1);  // cell 0 fills the window
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override { watched = nullptr; }

    // A malloc'ed frame whose every byte is known, watched for its frees.
    unsigned char* block(const std::vector<unsigned char>& f) {
        unsigned char* b = mallocFrame(f);
        freed[b] = 0;
        return b;
    }
    CustomYV12Widget* cell(int c) {
        return wall->findChild<CustomYV12Widget*>(QString("uiScreen_%1").arg(c + 1));
    }
    // What a cell of the same size draws for a copy of f: the oracle.
    QImage drawnFromCopy(const std::vector<unsigned char>& f, int w, int h) {
        CustomYV12Widget other;
        other.resize(cell(0)->size());
        other.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&other));
        other.ShowYV12(f.data(), w, h);
        return other.grabFramebuffer();
    }

    std::map<const void*, int> freed;
    QWidget window;
    ScreenCtrl* wall = new ScreenCtrl;
};

const PlaneFill kRamp = [](int x, int y) { return (x * 7 + y * 3) % 220 + 16; };
const PlaneFill kStripes = [](int x, int) { return x % 8 < 4 ? 60 : 200; };

TEST_F(FrameHandOver, DrawsTheBlockAsGivenAndFreesItOnceWhenReplaced) {
    const auto first = makeFrame(64, 36, kRamp, kStripes, flat(90));
    const auto second = makeFrame(64, 36, kStripes, flat(200), kRamp);
    unsigned char* a = block(first);
    wall->SetYUV(0, a, 64, 36);
    EXPECT_EQ(freed[a], 0);  // kept as the cell's picture
    EXPECT_EQ(cell(0)->grabFramebuffer(), drawnFromCopy(first, 64, 36));

    unsigned char* b = block(second);
    wall->SetYUV(0, b, 64, 36);
    EXPECT_EQ(freed[a], 1);
    EXPECT_EQ(freed[b], 0);
    EXPECT_EQ(cell(0)->grabFramebuffer(), drawnFromCopy(second, 64, 36));

    wall->SetYUV(0, nullptr, 0, 0);  // a marker empties the cell
    EXPECT_EQ(freed[b], 1);
    EXPECT_EQ(cell(0)->grabFramebuffer().pixel(10, 10) & 0xffffff, 0x008000u);
}

TEST_F(FrameHandOver, BlocksItCannotShowAreFreedAtOnce) {
    const auto f = makeFrame(8, 6, kRamp);
    struct Case {
        int channel, width, height;
    } const cases[] = {{12, 8, 6}, {-1, 8, 6}, {0, 0, 6}, {0, CustomYV12Widget::kMaxSide + 2, 2}};
    for (const Case& c : cases) {
        unsigned char* b = block(f);
        wall->SetYUV(c.channel, b, c.width, c.height);
        EXPECT_EQ(freed[b], 1) << c.channel << " " << c.width << "x" << c.height;
    }
}

// Checked as each frame replaces the last: a freed address may come back
// from malloc for the next block.
TEST_F(FrameHandOver, EveryCellFreesItsLastFrameWithTheWall) {
    std::vector<unsigned char*> last(12, nullptr);
    for (int round = 0; round < 3; ++round) {
        for (int c = 0; c < 12; ++c) {
            unsigned char* b = block(makeFrame(16, 8, flat(uchar(20 + c))));
            wall->SetYUV(c, b, 16, 8);
            EXPECT_EQ(freed[b], 0);
            if (last[size_t(c)]) {
                EXPECT_EQ(freed[last[size_t(c)]], 1) << round << " " << c;
            }
            last[size_t(c)] = b;
        }
    }
    delete wall;
    wall = nullptr;
    for (unsigned char* b : last) {
        EXPECT_EQ(freed[b], 1);
    }
}

// A snapshot taken from a block the cell holds writes that block's picture.
TEST_F(FrameHandOver, SnapshotUsesTheTakenBlock) {
    const auto f = makeFrame(16, 8, kRamp, flat(100), flat(150));
    wall->SetYUV(0, block(f), 16, 8);
    CustomYV12Widget copy;
    copy.ShowYV12(f.data(), 16, 8);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    cell(0)->Save(dir.path() + "/taken/");
    copy.Save(dir.path() + "/copied/");
    const QStringList taken = QDir(dir.path() + "/taken").entryList(QDir::Files);
    const QStringList copied = QDir(dir.path() + "/copied").entryList(QDir::Files);
    ASSERT_EQ(taken.size(), 1);
    ASSERT_EQ(copied.size(), 1);
    EXPECT_EQ(QImage(dir.path() + "/taken/" + taken[0]),
              QImage(dir.path() + "/copied/" + copied[0]));
}

}  // namespace
