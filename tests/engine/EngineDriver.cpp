#include "EngineDriver.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>

#include "Command.h"
#include "TestData.h"
#include "engine/FrameQueue.h"
#include "engine/StreamMarker.h"
#include "engine/Suspend.h"

namespace {
constexpr qint64 kFixtureFrameMs = 40;  // the fixtures run at 25 frames per second

qint64 SteadyUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

EngineDriver::PictureIndex EngineDriver::FfmpegPictures(const std::string& path) {
    const auto r = testsupport::ffmpeg(
        {"-i", path, "-map", "0:v", "-f", "framemd5", "-pix_fmt", "yuv420p", "-"});
    PictureIndex index;
    int n = 0;
    for (const QString& line : QString::fromStdString(r.out).split('\n')) {
        if (!line.isEmpty() && !line.startsWith('#')) {
            index.emplace(line.section(',', -1).trimmed().toLatin1(), n++);
        }
    }
    return index;
}

int EngineDriver::Picture::In(const PictureIndex& pictures) const {
    if (Empty()) {
        return kEmpty;
    }
    const auto at = pictures.find(md5);
    return at == pictures.end() ? kUnknown : at->second;
}

EngineDriver::Recording EngineDriver::Fixture(const QString& start, int selected,
                                              const std::vector<int>& channels) {
    const QDir dir(QString::fromStdString(testsupport::testDataDir()) + "/recordings");
    Recording r;
    r.selected = selected;
    for (const QString& name : dir.entryList({start + "_*.avi"})) {
        const int ch = name.section('_', 9, 9).toInt();
        const bool chosen =
            channels.empty() || std::find(channels.begin(), channels.end(), ch) != channels.end();
        if (ch < 1 || ch > kChannels || !chosen) {
            continue;
        }
        const QString path = dir.filePath(name);
        r.paths[ch - 1] = path;
        r.readable[size_t(ch - 1)] = true;
        r.pictures[size_t(ch - 1)] = FfmpegPictures(path.toStdString());
        r.durationMs =
            std::max(r.durationMs, qint64(r.pictures[size_t(ch - 1)].size()) * kFixtureFrameMs);
        r.sound = r.sound || ch == 1;
    }
    return r;
}

QString EngineDriver::WriteNoise(const std::string& path, int bytes) {
    std::mt19937 random{uint32_t(bytes)};
    QByteArray noise(bytes, '\0');
    for (char& b : noise) {
        b = char(random());
    }
    QFile file(QString::fromStdString(path));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(noise);
    }
    return file.fileName();
}

EngineDriver::EngineDriver() : startedAt(SteadyUs()) {
    g_bSuspend.store(false);
    controller.reset(new Controller);
    Controller* c = controller.get();
    for (int ch = 0; ch < kChannels; ++ch) {
        VideoCtrl* video = c->videoCtrls[size_t(ch)].get();
        QObject::connect(
            video, &VideoCtrl::Signal_show, video,
            [this, ch, video](uchar* pixels, int width, int height) {
                OnPicture(ch, pixels, width, height);
                if (pixels) {
                    std::free(pixels);
                    video->FrameConsumed();
                }
            },
            Qt::DirectConnection);
    }
    QObject::connect(
        &c->playCtrl, &PlayCtrl::Signal_updateTime, &c->playCtrl,
        [this](qint64 position, qint64 duration) { OnReport(position, duration); },
        Qt::DirectConnection);
    c->audioCtrl.SetTap([this](const char*, qint64 bytes) { pcmBytes.fetch_add(bytes); });
    c->Start();
}

EngineDriver::~EngineDriver() {
    Shutdown();
}

qint64 EngineDriver::Shutdown() {
    if (shutdownMs < 0) {
        const qint64 from = SteadyUs();
        controller->Shutdown();
        shutdownMs = (SteadyUs() - from) / 1000;
    }
    return shutdownMs;
}

qint64 EngineDriver::Now() const {
    return SteadyUs() - startedAt;
}

void EngineDriver::Forget() {
    std::lock_guard<std::mutex> lock(mutex);
    for (auto& pictures : shown) {
        pictures.clear();
    }
    reports.clear();
}

void EngineDriver::OnPicture(int channel, const uchar* pixels, int width, int height) {
    Picture p;
    p.at = Now();
    if (pixels) {
        const qint64 bytes = FrameQueue::FrameBytes(width, height);
        p.md5 = QCryptographicHash::hash(
                    QByteArray::fromRawData(reinterpret_cast<const char*>(pixels), int(bytes)),
                    QCryptographicHash::Md5)
                    .toHex();
    }
    std::lock_guard<std::mutex> lock(mutex);
    shown[size_t(channel)].push_back(p);
}

void EngineDriver::OnReport(qint64 position, qint64 duration) {
    shownPosition.store(position >= 0 ? position : 0);
    std::lock_guard<std::mutex> lock(mutex);
    reports.push_back(Report{Now(), position, duration});
}

void EngineDriver::Open(const Recording& recording) {
    controller->On_PlayAVI(recording.paths, recording.selected);
}

// As the main window's direction buttons: the flag first, the re-seek on a
// change, second play and step cleared, then play or pause.
void EngineDriver::PressDirection(bool backwards) {
    Controller& c = *controller;
    const bool playsThatWay =
        c.playStatus.load() == PlayStatus::Play && c.reverse.load() == backwards;
    if (c.reverse.exchange(backwards) != backwards) {
        c.aviFileRead.Seek(-ShownPosition());
    }
    c.unpaced.store(false);
    c.singleStep.exchange(false);
    playsThatWay ? c.On_Pause() : c.On_Play();
}

void EngineDriver::Play() {
    if (controller->playStatus.load() != PlayStatus::Play) {
        PressDirection(controller->reverse.load());
    }
}

void EngineDriver::Pause() {
    if (controller->playStatus.load() == PlayStatus::Play) {
        PressDirection(controller->reverse.load());
    }
}

void EngineDriver::Step() {
    Controller& c = *controller;
    if (c.playStatus.load() == PlayStatus::Play) {
        c.On_Pause();
    }
    c.unpaced.store(false);
    c.singleStep.exchange(true);
    c.InterruptWaits();
}

void EngineDriver::Unpaced() {
    controller->unpaced.store(true);
    controller->singleStep.exchange(false);
    controller->InterruptWaits();
}

void EngineDriver::Stop() {
    controller->On_Stop();
}

void EngineDriver::Seek(qint64 ms) {
    controller->aviFileRead.Seek(ms);
}

void EngineDriver::Speed(int index) {
    controller->SpeedChange(index);
}

bool EngineDriver::WaitFor(const std::function<bool()>& done, qint64 ms) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (done()) {
            return true;
        }
        if (timer.elapsed() >= ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(2);
    }
}

void EngineDriver::Pump(qint64 ms) {
    WaitFor([] { return false; }, ms);
}

std::vector<EngineDriver::Picture> EngineDriver::Pictures(int channel, qint64 from) const {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Picture> out;
    for (const Picture& p : shown[size_t(channel)]) {
        if (p.at >= from) {
            out.push_back(p);
        }
    }
    return out;
}

std::vector<EngineDriver::Report> EngineDriver::Reports(qint64 from) const {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Report> out;
    for (const Report& r : reports) {
        if (r.at >= from) {
            out.push_back(r);
        }
    }
    return out;
}
