#include <gtest/gtest.h>

#include <QDir>
#include <QMetaType>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <thread>

#include "ManualTimeSource.h"
#include "TestData.h"
#include "engine/Controller.h"
#include "engine/DataRecordSink.h"
#include "engine/QueueLock.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"

namespace {

QVector<QString> Slots(int channel, const QString& path) {
    QVector<QString> paths(12);
    paths[channel - 1] = path;
    return paths;
}

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_bSuspend.store(false);
        controller = std::make_unique<Controller>(&time);
    }
    void TearDown() override {
        controller->Shutdown();
        controller.reset();
        g_bSuspend.store(false);
    }

    void FillChannel(int channel) {
        std::vector<unsigned char> payload(10, 1);
        for (int i = 0; i < PacketQueue::kCapacity; ++i) {
            ASSERT_EQ(controller->InputData(channel, 28, i, payload.data(), 10, 2, 2),
                      QueueInput::Accepted);
        }
    }

    ManualTimeSource time;
    std::unique_ptr<Controller> controller;
};

TEST_F(ControllerTest, PlayAviSignalsStartTimeThenStatusAndRaisesBothRequests) {
    std::vector<std::string> order;
    QObject::connect(controller.get(), &Controller::Signal_startTimeChange,
                     [&](const QDateTime&) { order.push_back("start"); });
    QObject::connect(controller.get(), &Controller::Signal_playStatusChange,
                     [&](PlayStatus) { order.push_back("status"); });
    QSignalSpy start(controller.get(), &Controller::Signal_startTimeChange);
    QSignalSpy status(controller.get(), &Controller::Signal_playStatusChange);
    const QString path = "/media/rec/20240131235958_NM_0060000_0012345678_3.avi";
    controller->On_PlayAVI(Slots(3, path), 3);

    EXPECT_EQ(order, (std::vector<std::string>{"start", "status"}));
    ASSERT_EQ(start.count(), 1);
    EXPECT_EQ(start.at(0).at(0).toDateTime(), QDateTime(QDate(2024, 1, 31), QTime(23, 59, 58)));
    ASSERT_EQ(status.count(), 1);
    EXPECT_EQ(status.at(0).at(0).value<PlayStatus>(), PlayStatus::Play);
    EXPECT_EQ(controller->playStatus.load(), PlayStatus::Play);
    EXPECT_EQ(controller->GetStartTime(), start.at(0).at(0).toDateTime());

    for (auto reader : {Controller::Reader::Demux, Controller::Reader::Gps}) {
        EXPECT_TRUE(controller->HasGo(reader));
        EXPECT_TRUE(controller->WaitForWork(reader, 0));
        Controller::Recording recording;
        ASSERT_TRUE(controller->TakeNewRecording(reader, &recording));
        EXPECT_EQ(recording.selectedIndex, 2);
        EXPECT_EQ(recording.paths[2], path);
        EXPECT_TRUE(recording.paths[0].isEmpty());
        EXPECT_EQ(recording.startTime, controller->GetStartTime());
        EXPECT_FALSE(controller->TakeNewRecording(reader, &recording));
    }
}

TEST_F(ControllerTest, StartTimeIsFoundBehindBackslashesAndBadNamesGiveNone) {
    controller->On_PlayAVI(Slots(1, "D:\\rec\\20230102030405_NM_x.avi"), 1);
    EXPECT_EQ(controller->GetStartTime(), QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5)));
    QSignalSpy start(controller.get(), &Controller::Signal_startTimeChange);
    controller->On_PlayAVI(Slots(1, "/rec/2023_NM.avi"), 1);
    ASSERT_EQ(start.count(), 1);  // still signalled
    EXPECT_FALSE(controller->GetStartTime().isValid());
    controller->On_PlayAVI(QVector<QString>(12), 1);
    EXPECT_FALSE(controller->GetStartTime().isValid());
}

TEST_F(ControllerTest, OddPathListsAndChannelsAreTakenSafely) {
    controller->On_PlayAVI({"/a/20240101000000_x.avi"}, 40);
    Controller::Recording recording;
    ASSERT_TRUE(controller->TakeNewRecording(Controller::Reader::Demux, &recording));
    EXPECT_EQ(recording.selectedIndex, 0);
    EXPECT_EQ(recording.paths[0], "/a/20240101000000_x.avi");
    EXPECT_TRUE(recording.paths[11].isEmpty());
}

// A worker that clears its go flag after the request came keeps it and still
// finds the new recording: it idles only once it took the recording and
// cleared go after that.
TEST_F(ControllerTest, ANewRecordingIsNotLostWhenTheGoFlagIsCleared) {
    controller->On_PlayAVI(Slots(1, "/r/20240101000000_a.avi"), 1);
    controller->ClearGo(Controller::Reader::Demux);
    EXPECT_TRUE(controller->HasGo(Controller::Reader::Demux));
    EXPECT_TRUE(controller->WaitForWork(Controller::Reader::Demux, 0));
    Controller::Recording recording;
    ASSERT_TRUE(controller->TakeNewRecording(Controller::Reader::Demux, &recording));
    controller->ClearGo(Controller::Reader::Demux);
    EXPECT_FALSE(controller->WaitForWork(Controller::Reader::Demux, 0));
}

// Each command signals the status after it; pause only leaves Play, play
// only leaves Pause. Only a stop of a playing or paused engine raises the
// demux's request (it may be idle after the last file and must still empty
// the queues).
TEST_F(ControllerTest, TransportCommandsMoveTheStatus) {
    using Command = void (Controller::*)();
    const struct {
        PlayStatus from;
        Command command;
        PlayStatus to;
        bool wakesDemux;
    } table[] = {{PlayStatus::Play, &Controller::On_Stop, PlayStatus::Stop, true},
                 {PlayStatus::Pause, &Controller::On_Stop, PlayStatus::Stop, true},
                 {PlayStatus::Stop, &Controller::On_Stop, PlayStatus::Stop, false},
                 {PlayStatus::Play, &Controller::On_Pause, PlayStatus::Pause, false},
                 {PlayStatus::Stop, &Controller::On_Pause, PlayStatus::Stop, false},
                 {PlayStatus::Pause, &Controller::On_Pause, PlayStatus::Pause, false},
                 {PlayStatus::Pause, &Controller::On_Play, PlayStatus::Play, false},
                 {PlayStatus::Stop, &Controller::On_Play, PlayStatus::Stop, false},
                 {PlayStatus::Play, &Controller::On_Play, PlayStatus::Play, false}};
    for (const auto& row : table) {
        controller->playStatus.store(row.from);
        controller->ClearGo(Controller::Reader::Demux);
        QSignalSpy status(controller.get(), &Controller::Signal_playStatusChange);
        (controller.get()->*row.command)();
        ASSERT_EQ(status.count(), 1);
        EXPECT_EQ(status.at(0).at(0).value<PlayStatus>(), row.to);
        EXPECT_EQ(controller->playStatus.load(), row.to);
        EXPECT_EQ(controller->HasGo(Controller::Reader::Demux), row.wakesDemux);
    }
}

TEST_F(ControllerTest, SpeedIndexMapsToSixteenthsAndIsClamped) {
    const std::vector<std::pair<int, int>> table{{0, 1},   {1, 2},  {2, 4},   {3, 8},
                                                 {4, 16},  {5, 32}, {6, 64},  {7, 128},
                                                 {8, 256}, {-3, 1}, {9, 256}, {100, 256}};
    for (const auto& [index, speed] : table) {
        controller->SpeedChange(index);
        EXPECT_EQ(controller->speed.load(), speed) << "index " << index;
    }
    controller->SetPlayBack(false);
    EXPECT_FALSE(controller->trackPlayback.load());
}

TEST_F(ControllerTest, PacketIntakeReportsFullAndRefusedApart) {
    std::vector<unsigned char> payload(100, 7);
    for (int i = 0; i < PacketQueue::kCapacity; ++i) {
        ASSERT_EQ(controller->InputData(4, 28, i, payload.data(), 100, 320, 240),
                  QueueInput::Accepted);
    }
    EXPECT_EQ(controller->InputData(4, 28, 99, payload.data(), 100, 320, 240), QueueInput::Full);
    EXPECT_EQ(controller->InputData(12, 28, 0, payload.data(), 100, 320, 240), QueueInput::Refused);
    EXPECT_EQ(controller->InputData(-1, 28, 0, payload.data(), 100, 320, 240), QueueInput::Refused);
    std::vector<unsigned char> big(PacketQueue::kMaxAudioPacketBytes + 1, 1);
    EXPECT_EQ(controller->InputAudioData(0x15002, 0, big.data(), int(big.size())),
              QueueInput::Refused);
    EXPECT_EQ(controller->InputAudioData(0x15002, 0, payload.data(), 100), QueueInput::Accepted);
    int width = 0;
    QueueLock<PacketQueue> lock(controller->audioQueue);
    std::vector<unsigned char> out(2048);
    ASSERT_TRUE(controller->audioQueue.OutputData(nullptr, nullptr, out.data(), 2048, nullptr,
                                                  &width, nullptr));
    EXPECT_EQ(width, 0);
}

TEST_F(ControllerTest, MarkerPushWaitsForAFullQueueToBeDrained) {
    FillChannel(5);
    std::vector<unsigned char> payload(10);
    std::atomic<bool> result{false};
    std::thread demux([&] { result.store(controller->InputData(StreamMarker::Open)); });
    ASSERT_TRUE(time.Sleeping().has_value());  // retrying channel 5 every 2 ms
    EXPECT_EQ(controller->packetQueues[5].Count(), PacketQueue::kCapacity);
    {
        QueueLock<PacketQueue> lock(controller->packetQueues[5]);
        ASSERT_TRUE(controller->packetQueues[5].OutputData(nullptr, nullptr, payload.data(), 10,
                                                           nullptr, nullptr, nullptr));
    }
    time.AdvanceTo(time.Sleeping()->deadline);
    demux.join();
    EXPECT_TRUE(result.load());
    for (int ch = 0; ch < Controller::kChannels; ++ch) {
        EXPECT_EQ(controller->packetQueues[ch].Count(), ch == 5 ? PacketQueue::kCapacity : 1);
    }
}

TEST_F(ControllerTest, MarkerPushGivesUpOnExit) {
    FillChannel(0);
    std::atomic<bool> result{true};
    std::thread demux([&] { result.store(controller->InputData(StreamMarker::Stop)); });
    ASSERT_TRUE(time.Sleeping().has_value());
    controller->Shutdown();
    demux.join();
    EXPECT_FALSE(result.load());
    EXPECT_EQ(controller->packetQueues[1].Count(), 0);
}

// Stops the playback from inside the demux's cycle, as a user's Stop that
// lands while a packet is read, and refuses the record.
class StopOnRecord : public DataRecordSink {
public:
    explicit StopOnRecord(Controller* controller) : controller(controller) {}
    bool InputData(qint64, const unsigned char*, int) override {
        controller->On_Stop();
        return false;
    }
    void Clear() override {}

private:
    Controller* controller;
};

// No virtual time passes: a demux that sleeps on the state it read before the
// Stop never runs the stop path, and the engine keeps its last pictures.
TEST_F(ControllerTest, AStopDuringADemuxCycleRunsTheStopPathAtOnce) {
    const QDir dir(QString::fromStdString(testsupport::testDataDir()) + "/recordings");
    const QStringList names = dir.entryList({"20230514083000_*_01_*.avi"});
    ASSERT_EQ(names.size(), 1) << "fixture recording missing";
    StopOnRecord sink(controller.get());
    controller->SetRecordSinks(&sink, nullptr);
    controller->aviFileRead.Start();
    controller->On_PlayAVI(Slots(1, dir.filePath(names.first())), 1);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return controller->playStatus.load() == PlayStatus::Stop &&
                   !controller->HasGo(Controller::Reader::Demux);
        },
        5000))
        << "the demux never ran its stop path";
    controller->SetRecordSinks(nullptr, nullptr);
}

TEST_F(ControllerTest, ShutdownWakesAnIdleWorker) {
    std::atomic<bool> work{true};
    std::thread idle([&] { work.store(controller->WaitForWork(Controller::Reader::Gps, 600000)); });
    controller->Shutdown();
    idle.join();
    EXPECT_FALSE(work.load());
    EXPECT_TRUE(g_bSuspend.load());
}

TEST_F(ControllerTest, AudioFormatNeverBecomesInvalid) {
    const QAudioFormat requested = Controller::PcmFormat(44100);
    controller->SetAudioFormat(QAudioFormat(), requested);  // no sound device
    EXPECT_EQ(controller->AudioFormat(), requested);
    EXPECT_EQ(controller->AudioSampleRate(), 44100);
    QAudioFormat nearest = Controller::PcmFormat(48000);
    nearest.setChannelCount(2);
    controller->SetAudioFormat(nearest, requested);
    EXPECT_EQ(controller->AudioFormat(), nearest);
    EXPECT_EQ(controller->AudioSampleSize(), 16);
}

// Two threads feed one channel's queue while a third drains it: every
// packet arrives once, each producer's in its order, with what the decoder
// needs (ThreadSanitizer checks the locking).
TEST_F(ControllerTest, PacketIntakeFromTwoThreads) {
    constexpr int kPerProducer = 2000;
    const auto produce = [&](int producer) {
        for (int i = 0; i < kPerProducer;) {
            PacketInfo info;
            info.type = 28;
            info.key = i % 25 == 0;
            info.dts = producer * kPerProducer + i;
            info.audio.sampleRate = 8000 + producer;
            const unsigned char byte = static_cast<unsigned char>(producer);
            if (controller->InputData(3, info, &byte, 1) == QueueInput::Accepted) {
                ++i;
            } else {
                std::this_thread::yield();
            }
        }
    };
    std::thread first(produce, 0);
    std::thread second(produce, 1);
    std::vector<qint64> next{0, kPerProducer};
    std::vector<unsigned char> data;
    for (int taken = 0; taken < 2 * kPerProducer;) {
        PacketInfo info;
        int size = 0;
        bool got = false;
        {
            QueueLock<PacketQueue> lock(controller->packetQueues[3]);
            got = controller->packetQueues[3].OutputData(&info, &data, &size);
        }
        if (!got) {
            std::this_thread::yield();
            continue;
        }
        const int producer = data[0];
        ASSERT_EQ(size, 1);
        ASSERT_EQ(info.dts, next[size_t(producer)]++);
        ASSERT_EQ(info.key, (info.dts - producer * kPerProducer) % 25 == 0);
        ASSERT_EQ(info.audio.sampleRate, 8000 + producer);
        ++taken;
    }
    first.join();
    second.join();
}

}  // namespace
