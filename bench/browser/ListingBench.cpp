// Listing speed and memory of the recording list on generated trees of empty
// recording files: the folder walk and table fill, one re-sort and a scroll
// through the table, with `find` over the same tree as the floor.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QScrollBar>
#include <QTableView>
#include <QTextCodec>
#include <map>
#include <memory>

#include "Command.h"
#include "RecordingNames.h"
#include "TempDir.h"
#include "browser/CustomSearchList.h"
#include "engine/FileNameCodec.h"

namespace {

// Kibibytes of a /proc/self/status field (VmRSS, VmHWM).
long statusKb(const char* field) {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// files recording files: 8 channels per recording, one folder per day and
// channel, as a recorder's card is laid out.
struct Tree {
    explicit Tree(int files) {
        const QDateTime first(QDate(2019, 1, 1), QTime(0, 0));
        for (int i = 0; i < files; ++i) {
            const int recording = i / 8;
            const int channel = i % 8 + 1;
            const QDateTime start = first.addSecs(recording * 60);
            RecordingName name;
            name.start = start.toString("yyyyMMddHHmmss");
            name.type = recording % 3 ? "NM" : "GS";
            name.channel = QString("%1").arg(channel, 2, 10, QChar('0'));
            name.car = QString("%1").arg(recording % 5, 16, 10, QChar('0'));
            touchFile(root() + start.toString("/yyyyMMdd") + QString("/ch%1/").arg(channel) +
                      name.name());
        }
    }
    QString root() const { return QString::fromStdString(dir.path()); }
    testsupport::TempDir dir;
};

Tree& tree(int files) {
    static std::map<int, std::unique_ptr<Tree>> trees;
    auto& made = trees[files];
    if (!made)
        made = std::make_unique<Tree>(files);
    return *made;
}

void findFloor(benchmark::State& state) {
    const std::string root = tree(state.range(0)).root().toStdString();
    for (auto _ : state) {
        const auto found = testsupport::runCommand({"find", root, "-type", "f", "-name", "*.avi"});
        benchmark::DoNotOptimize(found.out.size());
    }
}

void load(benchmark::State& state) {
    const QString root = tree(state.range(0)).root();
    CustomSearchList list;
    const long before = statusKb("VmRSS:");
    for (auto _ : state)
        list.loadFolder(root);
    state.counters["files"] = list.listedItems().size();
    state.counters["rssGrowthMiB"] = (statusKb("VmRSS:") - before) / 1024.0;
    state.counters["peakRssMiB"] = statusKb("VmHWM:") / 1024.0;
}

// load with the player's file-name codec as the locale codec, as the player
// runs: every name is decoded (and checked) by it rather than by Qt's UTF-8.
void loadWithFileNameCodec(benchmark::State& state) {
    FileNameCodec::Install();
    load(state);
    QTextCodec::setCodecForLocale(nullptr);
}

// The same with the panel on screen: the header sizes its sections and the
// first page is painted after every load.
void loadShown(benchmark::State& state) {
    const QString root = tree(state.range(0)).root();
    CustomSearchList list;
    list.resize(1000, 700);
    list.show();
    for (auto _ : state) {
        list.loadFolder(root);
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(list.grab());
    }
}

void resort(benchmark::State& state) {
    CustomSearchList list;
    list.loadFolder(tree(state.range(0)).root());
    auto* view = list.findChild<QTableView*>("tableView");
    int column = 0;
    for (auto _ : state) {
        column = (column + 1) % CustomSearchList::kColumnCount;
        view->sortByColumn(column, Qt::AscendingOrder);
    }
}

void scroll(benchmark::State& state) {
    CustomSearchList list;
    list.resize(1000, 700);
    list.show();
    list.loadFolder(tree(state.range(0)).root());
    QCoreApplication::processEvents();
    auto* view = list.findChild<QTableView*>("tableView");
    QScrollBar* bar = view->verticalScrollBar();
    for (auto _ : state) {
        // Ten pages spread over the whole table, each painted into a pixmap.
        for (int step = 1; step <= 10; ++step) {
            bar->setValue(bar->maximum() / 10 * step);
            benchmark::DoNotOptimize(view->viewport()->grab());
        }
    }
}

}  // namespace

BENCHMARK(findFloor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(load)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(loadWithFileNameCodec)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(loadShown)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(resort)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(scroll)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
