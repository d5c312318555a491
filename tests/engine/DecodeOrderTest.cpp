// One decode worker fed a file's video packets as the demux feeds them
// (backwards: group by group from the last, reversed times), against ffmpeg:
// every picture leaves with the time that belongs to it, in rising order.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <algorithm>
#include <chrono>
#include <climits>
#include <map>
#include <vector>

#include "Command.h"
#include "TestData.h"
#include "engine/Controller.h"
#include "engine/DemuxChannel.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"
#include "engine/SystemTimeSource.h"

namespace {

// Any duration above the file's: reversed times are this minus the time.
constexpr qint64 kReverseFrom = 10000;

// The time of each picture in display order: the packets' times sorted, as
// ffprobe reads them (time base 1/25).
std::vector<qint64> PictureTimes(const std::string& path) {
    const auto r = testsupport::ffprobe(
        {"-select_streams", "v", "-show_entries", "packet=dts", "-of", "csv=p=0"}, path);
    std::vector<qint64> ms;
    for (const QString& line : QString::fromStdString(r.out).split('\n', Qt::SkipEmptyParts)) {
        ms.push_back(line.trimmed().toLongLong() * 40);
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

struct Out {
    qint64 dts;
    std::string md5;
};

class DecodeWorker : public ::testing::Test {
protected:
    void SetUp() override { g_bSuspend.store(false); }
    void TearDown() override {
        controller.Shutdown();
        g_bSuspend.store(false);
    }

    // Takes what the worker queued; true once the End marker came.
    bool Collect() {
        std::vector<unsigned char> pixels;
        qint64 dts = 0;
        int width = 0;
        int height = 0;
        for (;;) {
            bool roomWanted = false;
            {
                QueueLock<FrameQueue> lock(controller.frameQueues[0]);
                if (!controller.frameQueues[0].OutputData(&dts, &pixels, &width, &height)) {
                    return false;
                }
                roomWanted = controller.frameQueues[0].TakeRoomWanted();
            }
            if (roomWanted) {
                // As the release worker does: the decode worker waits for room.
                SystemTimeSource::Instance()->Wake(&controller.frameQueues[0]);
            }
            if (dts == StreamMarker::End) {
                return true;
            }
            if (dts == StreamMarker::Open) {
                openedAt = out.size();
                continue;
            }
            const auto bytes = int(FrameQueue::FrameBytes(width, height));
            out.push_back({dts, QCryptographicHash::hash(
                                    QByteArray(reinterpret_cast<const char*>(pixels.data()), bytes),
                                    QCryptographicHash::Md5)
                                    .toHex()
                                    .toStdString()});
        }
    }

    // Feeds the file's video packets as the demux does, at most `limit`.
    // keyFlags false: as from a file whose index marks no key frames.
    void Feed(const std::string& path, bool backward, int limit = INT_MAX, bool keyFlags = true) {
        DemuxChannel file(0);
        ASSERT_TRUE(file.Open(QString::fromStdString(path), backward));
        for (int n = 0; n < limit && file.Read(backward) >= 0;) {
            const DemuxChannel::Packet& p = file.Last();
            if (p.codecType != 0 || p.dtsMs < 0) {
                continue;  // not video
            }
            PacketInfo info;
            info.type = p.codecId;
            info.key = keyFlags && p.key;
            info.backward = backward;
            info.width = p.width;
            info.height = p.height;
            info.dts = backward ? kReverseFrom - p.dtsMs : p.dtsMs;
            while (controller.InputData(0, info, p.data, p.size) == QueueInput::Full) {
                ended = Collect() || ended;
            }
            ++n;
        }
    }
    // Sends End and takes everything up to it.
    void Finish() {
        ASSERT_TRUE(controller.InputData(StreamMarker::End));
        // Ends when the End marker comes; the bound only stops a hung worker.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!ended && std::chrono::steady_clock::now() < giveUp) {
            ended = Collect();
            QThread::msleep(1);
        }
        ASSERT_TRUE(ended);
    }

    Controller controller{SystemTimeSource::Instance()};
    std::vector<Out> out;
    size_t openedAt = 0;  // pictures taken before the Open marker
    bool ended = false;
};

struct OrderCase {
    const char* name;
    bool backward;
    bool keyFlags;  // false: a backward group is known by its rising times alone
};

class DecodeOrder : public DecodeWorker, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(DecodeOrder, EachPictureLeavesWithItsOwnTime) {
    const bool backward = GetParam().backward;
    const std::string path = testsupport::testDataFile("h264_bframes_aac.avi");
    controller.decodeCtrls[0]->Start();
    Feed(path, backward, INT_MAX, GetParam().keyFlags);
    Finish();

    const std::map<std::string, int> pictures = testsupport::videoFrameIndex(path);
    const std::vector<qint64> times = PictureTimes(path);
    ASSERT_EQ(times.size(), pictures.size());
    ASSERT_EQ(out.size(), pictures.size());
    for (size_t k = 0; k < out.size(); ++k) {
        const auto at = pictures.find(out[k].md5);
        ASSERT_NE(at, pictures.end()) << "a picture ffmpeg never made, at " << k;
        const qint64 ms = times[size_t(at->second)];
        EXPECT_EQ(out[k].dts, backward ? kReverseFrom - ms : ms) << "picture " << at->second;
        if (k > 0) {
            EXPECT_GT(out[k].dts, out[k - 1].dts) << "picture " << at->second;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Directions, DecodeOrder,
                         ::testing::Values(OrderCase{"Forward", false, true},
                                           OrderCase{"Backward", true, true},
                                           OrderCase{"BackwardWithoutKeyFlags", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// After the Open marker the codec opens afresh for the next recording: HEVC
// pictures of the same size follow H.264 ones.
TEST_F(DecodeWorker, TheNextRecordingOpensItsOwnCodec) {
    controller.decodeCtrls[0]->Start();
    Feed(testsupport::testDataFile("h264_aac.avi"), false, 10);
    ASSERT_TRUE(controller.InputData(StreamMarker::Open));
    const std::string hevc = testsupport::testDataFile("hevc_adpcm_ms.avi");
    Feed(hevc, false);
    Finish();
    const std::map<std::string, int> pictures = testsupport::videoFrameIndex(hevc);
    ASSERT_GE(out.size(), openedAt);
    ASSERT_EQ(out.size() - openedAt, pictures.size());
    for (size_t k = openedAt; k < out.size(); ++k) {
        const auto at = pictures.find(out[k].md5);
        ASSERT_NE(at, pictures.end()) << "not an HEVC picture, at " << k - openedAt;
        EXPECT_EQ(size_t(at->second), k - openedAt);
    }
}

}  // namespace
