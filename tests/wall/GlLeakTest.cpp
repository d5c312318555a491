// Full screen re-creates every visible cell's GL context: the shader program
// of the old one goes with it. Live shader programs are counted through Qt's
// object hooks (the table debuggers use), since the GUI tests run without
// leak detection.
#include <gtest/gtest.h>

#include <QOpenGLShaderProgram>
#include <QTest>
#include <QVBoxLayout>
#include <mutex>
#include <set>

#include "wall/CustomYV12Widget.h"
#include "wall/ScreenCtrl.h"

// Qt's hook table (QtCore's qhooks_p.h): version, size, Qt version, then the
// callbacks for every QObject made and destroyed.
extern Q_CORE_EXPORT quintptr qtHookData[];

namespace {

constexpr int kHookSize = 1;
constexpr int kAddObject = 3;
constexpr int kRemoveObject = 4;

std::mutex liveMutex;
std::set<QObject*> live;  // guarded by liveMutex

void Added(QObject* object) {
    std::lock_guard<std::mutex> lock(liveMutex);
    live.insert(object);
}

void Removed(QObject* object) {
    std::lock_guard<std::mutex> lock(liveMutex);
    live.erase(object);
}

// Tracks the objects made while it lives.
class ObjectTracker {
public:
    ObjectTracker() {
        add = qtHookData[kAddObject];
        remove = qtHookData[kRemoveObject];
        qtHookData[kAddObject] = reinterpret_cast<quintptr>(&Added);
        qtHookData[kRemoveObject] = reinterpret_cast<quintptr>(&Removed);
    }
    ~ObjectTracker() {
        qtHookData[kAddObject] = add;
        qtHookData[kRemoveObject] = remove;
        std::lock_guard<std::mutex> lock(liveMutex);
        live.clear();
    }
    // Tracked shader programs still alive (Qt calls the hooks on the GUI
    // thread here; the objects are whole by the time this looks).
    static int Programs() {
        std::lock_guard<std::mutex> lock(liveMutex);
        int n = 0;
        for (QObject* object : live) {
            n += qobject_cast<QOpenGLShaderProgram*>(object) != nullptr;
        }
        return n;
    }

private:
    quintptr add = 0;
    quintptr remove = 0;
};

TEST(GlLeak, FullScreenRoundTripsKeepOneShaderProgramPerCell) {
    ASSERT_GT(qtHookData[kHookSize], quintptr(kRemoveObject));
    QWidget window;
    window.resize(800, 600);
    auto* wall = new ScreenCtrl;
    (new QVBoxLayout(&window))->addWidget(wall);
    ObjectTracker tracker;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const int cells = ObjectTracker::Programs();
    ASSERT_GT(cells, 0);  // one per visible cell
    for (int round = 0; round < 3; ++round) {
        wall->ShowFull();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wall));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == wall; }));
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !wall->isWindow(); }));
        QTest::qWait(50);  // the cells repaint in their new contexts
    }
    EXPECT_LE(ObjectTracker::Programs(), cells);
}

}  // namespace
