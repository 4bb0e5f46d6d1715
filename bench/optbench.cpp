// Measures the program against the alternatives a user or a developer would otherwise pick,
// all in one run and on one monotonic clock, and prints one table.
//
// Our figures are driven in-process: the real main window with the real sound engine, its
// play button clicked and its sliders moved by code. Sound is timed at the null sink's
// monitor (see SoundTimes). Started by bench/run.sh, which provides the sound server and Xvfb.
#include "Audio.h"
#include "BrowserLauncher.h"
#include "FileList.h"
#include "Form1.h"
#include "FormEvents.h"
#include "PlayerControl.h"
#include "RandomDraw.h"
#include "RecordingReportBox.h"
#include "Services.h"
#include "SettingsStore.h"
#include "SoundEngine.h"
#include "SoundTimes.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace SoundTimes;

struct Figure {
    std::vector<double> values;
    double median() const
    {
        if (values.empty())
            return NAN;
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }
    double min() const
    {
        return values.empty() ? NAN : *std::min_element(values.begin(), values.end());
    }
    double max() const
    {
        return values.empty() ? NAN : *std::max_element(values.begin(), values.end());
    }
    void add(double v)
    {
        if (v >= 0)
            values.push_back(v);
    }
};

QString g_refDir, g_program, g_tonegen;
int g_runs = 7;

Clock::time_point fromNanoseconds(long long ns)
{
    return Clock::time_point(
        std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(ns)));
}

void settle(int ms)
{
    QTest::qWait(ms);
}

QString readLine(QProcess& p, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!p.canReadLine() && timer.elapsed() < timeoutMs)
        p.waitForReadyRead(50);
    return QString::fromLatin1(p.readLine()).trimmed();
}

// User and system time of another process, from its /proc/PID/stat.
double processCpuSeconds(const QString& statPath)
{
    QFile f(statPath);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = f.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / double(sysconf(_SC_CLK_TCK));
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakRssKb(const QString& status = "/proc/self/status", const std::string& field = "VmHWM:")
{
    std::ifstream in(status.toStdString());
    std::string key;
    long value = 0;
    while (in >> key)
        if (key == field && in >> value)
            return value;
    return 0;
}

// The real window with the real engine, wired as the program wires it.
struct Ours {
    explicit Ours(const QString& folder,
                  std::chrono::milliseconds warm = std::chrono::milliseconds(3000))
        : engine(warm),
          settings(folder + "/settings"), services{report, settings, random, browser, [] {}},
          form(engine, folder)
    {
        connectFormEvents(form, services);
        form.Combo1->addEntry("tone");
        form.Combo1->setListIndex(0);
        settle(1000);
    }
    void press() { form.PushButton1->click(); }
    SoundEngine engine;
    RecordingReportBox report;
    SettingsStore settings;
    StandardRandomDraw random;
    DesktopBrowserLauncher browser;
    Services services;
    Form1 form;
};

// A reference player process speaking the ready/go protocol.
Clock::time_point command(QProcess& p, const QString& line)
{
    p.write((line + "\n").toLatin1());
    p.waitForBytesWritten();
    const QString answer = readLine(p);
    return fromNanoseconds(answer.mid(2).toLongLong());
}

bool startReference(QProcess& p, const QString& program, const QString& file)
{
    p.start(program, {file});
    return p.waitForStarted() && readLine(p, 15000) == "ready";
}

void stopProcess(QProcess& p)
{
    p.write("quit\n");
    if (!p.waitForFinished(1000)) {
        p.kill();
        p.waitForFinished();
    }
}

void row(const char* name, const Figure& ours, const char* unit, double scale,
         const std::vector<std::pair<const char*, Figure>>& alternatives)
{
    std::printf("%-34s %9.1f %9.1f %9.1f %-3s", name, ours.median() * scale, ours.min() * scale,
                ours.max() * scale, unit);
    for (const auto& [altName, alt] : alternatives)
        std::printf("  | %s %.1f (x%.2f)", altName, alt.median() * scale,
                    ours.median() / alt.median());
    std::printf("\n");
    std::fflush(stdout);
}

// A copy of the program folder with `count` tests.
QString programFolderWith(const QString& root, int count)
{
    const QString folder = root + QString("/start-%1").arg(count);
    QDir().mkpath(folder + "/sounds");
    QFile::copy(g_program + "/orvo-peln-tandrick", folder + "/orvo-peln-tandrick");
    QFile::setPermissions(folder + "/orvo-peln-tandrick", QFile::ExeOwner | QFile::ReadOwner);
    for (int i = 0; i < count; ++i) {
        QFile f(folder + QString("/sounds/Test %1.mp3").arg(i, 5, 10, QLatin1Char('0')));
        f.open(QIODevice::WriteOnly);
        f.write("x");
    }
    return folder;
}

// Starts a windowed program in `folder` with its settings in `config`.
void startWindowed(QProcess& p, const QString& program, const QString& folder,
                   const QString& config)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("QT_QPA_PLATFORM", "xcb");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(program, {});
}

double timeToWindow(const QString& program, const QString& folder, const QString& config)
{
    QProcess watch;
    watch.start(g_refDir + "/mapwatch");
    if (readLine(watch) != "ready")
        return -1;
    QProcess p;
    const Clock::time_point t0 = Clock::now();
    startWindowed(p, program, folder, config);
    const QString mapped = readLine(watch, 15000);
    p.kill();
    p.waitForFinished();
    watch.kill();
    watch.waitForFinished();
    return mapped.isEmpty() ? -1 : secondsBetween(t0, fromNanoseconds(mapped.toLongLong()));
}

long idleRss(const QString& program, const QString& folder, const QString& config)
{
    QProcess p;
    startWindowed(p, program, folder, config);
    p.waitForStarted();
    settle(2500);
    const long rss = peakRssKb(QString("/proc/%1/status").arg(p.processId()));
    p.kill();
    p.waitForFinished();
    return rss;
}

// Child mode: play in a loop for a while and report the CPU used and the peak memory.
int playCpu(const QString& folder, double rate, double seconds)
{
    Ours ours(folder);
    ours.form.Slider2->setValue(int(rate));
    ours.form.WindowsMediaPlayer1->setLoop(true);
    ours.form.WindowsMediaPlayer1->setURL(folder + "/sounds/tone.mp3");
    settle(500);
    const double before = cpuSeconds();
    // An event loop that sleeps until it has something to do, as the program's: the test
    // library's wait wakes every few milliseconds, which would count against the engine.
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("cpu %f rss %ld\n", cpuSeconds() - before, peakRssKb());
    return 0;
}

// Child mode: the resident memory after a first press (which maps the decoders in), and after
// `presses` quick presses more (each a start and a stop 50 ms apart), once the output has been
// corked again.
int pressMemory(const QString& folder, int presses)
{
    Ours ours(folder);
    ours.form.Slider1->setValue(100);
    ours.press();
    settle(50);
    ours.press();
    settle(4000);
    const long before = peakRssKb("/proc/self/status", "VmRSS:");
    for (int i = 0; i < presses; ++i) {
        ours.press();
        settle(50);
        ours.press();
        settle(50);
    }
    settle(4000);
    std::printf("before %ld after %ld\n", before, peakRssKb("/proc/self/status", "VmRSS:"));
    return 0;
}

// Child mode: real clicks from outside (XTEST, through xdotool) on the play button of the
// program started afresh in `folder`: click -> first sound at the monitor, for the first press
// after the start and for a press after the warm spell. xdotool's own start, a few
// milliseconds, counts in. Prints "first MS idle MS" a line per run.
int clicksFromOutside(const QString& program, const QString& folder, const QString& config,
                      int runs)
{
    MonitorRecorder monitor(qEnvironmentVariable("OPT_PULSE_SINK"), kStereoChannels, kTimingBlock);
    settle(500);
    const auto click = [] {
        const Clock::time_point t0 = Clock::now();
        QProcess::execute("xdotool", {"click", "1"});
        return t0;
    };
    for (int run = 0; run < runs; ++run) {
        QProcess p;
        startWindowed(p, program, folder, config);
        // The play button's middle: 8 px in from the window's corner, 520 x 27 px.
        if (QProcess::execute("xdotool",
                              {"search", "--sync", "--onlyvisible", "--name", "Orvo Peln Tandrick",
                               "mousemove", "--window", "%1", "268", "21"}) != 0)
            return 1;
        settle(1500);
        const double first = onsetAfter(monitor, click(), 0.005f, 2);
        settle(500);
        click();
        settle(3600);
        const double idle = onsetAfter(monitor, click(), 0.005f, 2);
        settle(300);
        p.kill();
        p.waitForFinished();
        std::printf("first %f idle %f\n", first * 1000, idle * 1000);
        std::fflush(stdout);
    }
    return 0;
}

// A press after the warm spell (3.6 s after the last sound), a volume change and a stop, as a
// user meets them: onset, level change and the last sound after Stop, in seconds.
struct PressFigures {
    Figure press, volume, stop;
    void measure(Ours& window, MonitorRecorder& monitor)
    {
        window.form.Slider1->setValue(50);
        settle(3600);
        Clock::time_point t0 = Clock::now();
        window.press();
        press.add(onsetAfter(monitor, t0, 0.005f, 2));
        settle(400);
        const float base = peakBefore(monitor, Clock::now() - std::chrono::milliseconds(100), 0.1);
        t0 = Clock::now();
        window.form.Slider1->setValue(100);
        volume.add(levelAbove(monitor, t0, base * 1.4f, 2));
        settle(300);
        t0 = Clock::now();
        window.press();
        stop.add(lastSoundAfter(monitor, t0, 0.01f, 0.5));
    }
};

} // namespace

int main(int argc, char* argv[])
{
    const bool child = argc > 1 && QByteArray(argv[1]).startsWith("--");
    if (child)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (child && args[1] == "--presses")
        return pressMemory(args[2], args[3].toInt());
    if (child && args[1] == "--clicks")
        return clicksFromOutside(args[2], args[3], args[4], args[5].toInt());
    if (child)
        return playCpu(args[2], args[3].toDouble(), args[4].toDouble());
    g_program = args.value(1);
    g_tonegen = args.value(2);
    g_refDir = QCoreApplication::applicationDirPath();
    if (args.size() > 3)
        g_runs = args[3].toInt();
    const QString sink = qEnvironmentVariable("OPT_PULSE_SINK");

    QTemporaryDir temp;
    const QString root = temp.path();
    QDir().mkpath(root + "/ours/sounds");
    const QString tone50 =
        makeTone(g_tonegen, root + "/ours/sounds/tone.mp3",
                 {"sine", "--frequency", "200", "--seconds", "10", "--level", "-12"});
    MonitorRecorder monitor(sink, kStereoChannels, kTimingBlock);
    settle(500);

    std::printf("%-34s %9s %9s %9s %-3s  | alternatives: median (our median / theirs)\n", "figure",
                "median", "min", "max", "");

    // 1. Press -> first sound.
    Figure ours, pa, qmp, mpg, ffplay;
    {
        Ours window(root + "/ours");
        window.form.Slider1->setValue(100);
        for (int r = 0; r < g_runs; ++r) {
            const Clock::time_point t0 = Clock::now();
            window.press();
            ours.add(onsetAfter(monitor, t0, 0.01f, 2));
            window.press();
            settle(300);
        }
    }
    for (int r = 0; r < g_runs; ++r) {
        for (auto [figure, program] :
             {std::pair{&pa, g_refDir + "/ref_pa"}, std::pair{&qmp, g_refDir + "/ref_qmp"}}) {
            QProcess p;
            if (!startReference(p, program, tone50))
                continue;
            settle(400);
            figure->add(onsetAfter(monitor, command(p, "go"), 0.01f, 3));
            stopProcess(p);
        }
        for (auto [figure, cmd] : {std::pair{&mpg, QStringList{"mpg123", "-q", tone50}},
                                   std::pair{&ffplay, QStringList{"ffplay", "-nodisp", "-autoexit",
                                                                  "-loglevel", "quiet", tone50}}}) {
            QProcess p;
            const Clock::time_point t0 = Clock::now();
            p.start(cmd[0], cmd.mid(1));
            if (p.waitForStarted())
                figure->add(onsetAfter(monitor, t0, 0.01f, 5));
            p.kill();
            p.waitForFinished();
            settle(300);
        }
    }
    // The same after the output was released (the user waited a while between presses).
    Figure released;
    {
        Ours window(root + "/ours");
        window.form.Slider1->setValue(100);
        for (int r = 0; r < g_runs; ++r) {
            settle(3600);
            const Clock::time_point t0 = Clock::now();
            window.press();
            released.add(onsetAfter(monitor, t0, 0.01f, 2));
            window.press();
        }
    }
    // Presses in a row, each after the stream was corked (a warm spell of 0.3 s, waited out):
    // holes in the first 0.3 s of each sound, ours (the engine answered late) or the server's,
    // beside a bare client started afresh for each.
    constexpr int kHolePresses = 50;
    Figure releasedRow;
    int ourHoles = 0, serverHoles = 0, bareHoles = 0;
    {
        Ours window(root + "/ours", std::chrono::milliseconds(300));
        window.form.Slider1->setValue(100);
        for (int r = 0; r < kHolePresses; ++r) {
            settle(700);
            const auto late = window.engine.lateUnderflows();
            const Clock::time_point t0 = Clock::now();
            window.press();
            const double onset = onsetAfter(monitor, t0, 0.01f, 2);
            releasedRow.add(onset);
            const auto sound = after(t0, onset + 0.002);
            if (onset >= 0 && holeAfter(monitor, sound, 0.3))
                ++(window.engine.lateUnderflows() > late ? ourHoles : serverHoles);
            window.press();
        }
    }
    for (int r = 0; r < kHolePresses; ++r) {
        QProcess p;
        if (!startReference(p, g_refDir + "/ref_pa", tone50))
            continue;
        settle(300);
        const Clock::time_point t0 = command(p, "go");
        const double onset = onsetAfter(monitor, t0, 0.01f, 3);
        const auto sound = after(t0, onset + 0.002);
        if (onset >= 0 && holeAfter(monitor, sound, 0.3))
            ++bareHoles;
        stopProcess(p);
    }

    // A session of use: the same press, volume change and stop on a fresh start and after 100
    // presses with pauses.
    PressFigures fresh, used;
    {
        Ours window(root + "/ours");
        for (int r = 0; r < 3; ++r)
            fresh.measure(window, monitor);
        for (int r = 0; r < 100; ++r) {
            window.press();
            settle(150 + 47 * (r % 10));
            window.press();
            settle(100 + 31 * (r % 7));
        }
        for (int r = 0; r < 3; ++r)
            used.measure(window, monitor);
    }

    // A stereo test and a 5.1 test in turn on a 5.1 device: what a change of the file's
    // channel count costs a press.
    Figure stereoOn51, surroundOn51;
    QProcess::execute("pactl", {"set-default-sink", "opt_51"});
    {
        MonitorRecorder front("opt_51", kStereoChannels, kTimingBlock);
        QDir().mkpath(root + "/surround/sounds");
        QFile::copy(tone50, root + "/surround/sounds/tone.mp3");
        QFile::copy(g_program + "/sounds/30 Channel check 5.1.mp3",
                    root + "/surround/sounds/surround.mp3");
        Ours window(root + "/surround");
        window.form.Combo1->addEntry("surround");
        window.form.Slider1->setValue(100);
        settle(500);
        for (int r = 0; r < g_runs; ++r) {
            for (auto [index, figure] : {std::pair{0, &stereoOn51}, std::pair{1, &surroundOn51}}) {
                window.form.Combo1->setListIndex(index);
                settle(300);
                const Clock::time_point t0 = Clock::now();
                window.press();
                figure->add(onsetAfter(front, t0, 0.01f, 2));
                window.press();
            }
        }
    }
    QProcess::execute("pactl", {"set-default-sink", sink});
    row("press -> first sound, released", released, "ms", 1000, {});
    row("released, 50 presses in a row", releasedRow, "ms", 1000, {});
    std::printf("%-34s ours (late) %d, the server's %d  | bare client started afresh %d\n",
                "holes at the start, 50 presses", ourHoles, serverHoles, bareHoles);
    row("released press, fresh start", fresh.press, "ms", 1000, {});
    row("released press, after 100 presses", used.press, "ms", 1000, {});
    row("volume -> level, fresh start", fresh.volume, "ms", 1000, {});
    row("volume -> level, after 100 presses", used.volume, "ms", 1000, {});
    row("stop -> silence, fresh start", fresh.stop, "ms", 1000, {});
    row("stop -> silence, after 100 presses", used.stop, "ms", 1000, {});
    row("press, stereo test on 5.1 device", stereoOn51, "ms", 1000, {});
    row("press, 5.1 test after stereo, 5.1", surroundOn51, "ms", 1000, {});
    row("press -> first sound, warm", ours, "ms", 1000,
        {{"PulseAudio API", pa},
         {"QMediaPlayer", qmp},
         {"mpg123 (start)", mpg},
         {"ffplay (start)", ffplay}});

    // 2. Volume and rate changes while playing.
    Figure volume, rate, gap, qVolume, qRate, qGap;
    {
        Ours window(root + "/ours");
        for (int r = 0; r < g_runs; ++r) {
            window.form.Slider1->setValue(50);
            window.form.Slider2->setValue(1);
            window.press();
            settle(600);
            const float base =
                peakBefore(monitor, Clock::now() - std::chrono::milliseconds(100), 0.1);
            Clock::time_point t0 = Clock::now();
            window.form.Slider1->setValue(100);
            volume.add(levelAbove(monitor, t0, base * 1.4f, 2));
            settle(300);
            t0 = Clock::now();
            window.form.Slider2->setValue(2);
            rate.add(frequencyAbove(monitor, t0, 300, 2));
            gap.add(longestSilence(monitor, t0, 0.5));
            window.press();
            settle(300);
        }
    }
    for (int r = 0; r < g_runs; ++r) {
        QProcess p;
        if (!startReference(p, g_refDir + "/ref_qmp", tone50))
            continue;
        command(p, "go");
        settle(1000);
        const float base = peakBefore(monitor, Clock::now() - std::chrono::milliseconds(100), 0.1);
        qVolume.add(levelAbove(monitor, command(p, "volume 1.0"), base * 1.4f, 2));
        settle(300);
        const Clock::time_point t0 = command(p, "rate 2");
        qRate.add(frequencyAbove(monitor, t0, 300, 2));
        qGap.add(longestSilence(monitor, t0, 0.5));
        stopProcess(p);
    }
    row("volume change -> level change", volume, "ms", 1000, {{"QMediaPlayer", qVolume}});
    row("rate change -> pitch change", rate, "ms", 1000, {{"QMediaPlayer", qRate}});
    row("silent gap at a rate change", gap, "ms", 1000, {{"QMediaPlayer", qGap}});

    // 3. Start -> window shown, and the catalogue's own cost.
    const QString config = root + "/config";
    QDir().mkpath(config);
    {
        QFile f(config + "/Kestrani.ini");
        f.open(QIODevice::WriteOnly);
        f.write("[Orvo%20Peln%20Tandrick]\nCombo1=-1\n");
    }
    Figure bare;
    const int startRuns = std::max(3, g_runs / 2);
    for (int r = 0; r < startRuns; ++r)
        bare.add(timeToWindow(g_refDir + "/ref_bare", root, config));
    for (int count : {0, 100, 10000}) {
        const QString folder = programFolderWith(root, count);
        Figure start;
        for (int r = 0; r < startRuns; ++r)
            start.add(timeToWindow(folder + "/orvo-peln-tandrick", folder, config));
        const QByteArray name = QString("start -> window, %1 tests").arg(count).toLatin1();
        row(name.constData(), start, "ms", 1000, {{"bare Qt window", bare}});
    }
    {
        const QString sounds = root + "/start-10000/sounds";
        Figure catalogue, floor;
        for (int r = 0; r < startRuns; ++r) {
            Clock::time_point t0 = Clock::now();
            const NameList list = GetFileList(sounds, "*.*");
            catalogue.add(secondsBetween(t0, Clock::now()));
            t0 = Clock::now();
            int opened = 0;
            const QByteArray dir = QFile::encodeName(sounds);
            DIR* d = opendir(dir.constData());
            while (dirent* e = readdir(d)) {
                const int fd = openat(dirfd(d), e->d_name, O_RDONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ++opened;
                    close(fd);
                }
            }
            closedir(d);
            floor.add(secondsBetween(t0, Clock::now()));
            if (list.upper != 10000 || opened < 10000)
                std::fprintf(stderr, "optbench: listed %d, opened %d\n", list.upper, opened);
        }
        row("catalogue of 10000 files", catalogue, "ms", 1000, {{"readdir+open/close", floor}});
    }

    // 4. CPU while playing and peak memory.
    const auto childCpu = [&](double r) {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(),
                {"--play-cpu", root + "/ours", QString::number(r), "10"});
        p.waitForFinished(60000);
        const QStringList parts = QString::fromLatin1(p.readAllStandardOutput()).split(' ');
        return std::pair{parts.value(1).toDouble() / 10, parts.value(3).trimmed().toLong()};
    };
    const auto [cpu1, rssPlaying] = childCpu(1);
    const double cpu50 = childCpu(50).first;
    Figure qCpu;
    {
        QProcess p;
        if (startReference(p, g_refDir + "/ref_qmp", tone50)) {
            p.write("loop\n");
            command(p, "go");
            settle(500);
            p.write("cpu 10\n");
            const QStringList parts = readLine(p, 20000).split(' ');
            qCpu.add(parts.value(1).toDouble() / 10);
            stopProcess(p);
        }
    }
    row("CPU playing, rate 1 (% of a core)", Figure{{cpu1}}, "%", 100, {{"QMediaPlayer", qCpu}});
    row("CPU playing, rate 50 (% of a core)", Figure{{cpu50}}, "%", 100, {});
    const QString defaults = programFolderWith(root, 0);
    QDir().rmdir(defaults + "/sounds");
    QProcess::execute("cp", {"-r", g_program + "/sounds", defaults + "/sounds"});
    Figure idle{{double(idleRss(defaults + "/orvo-peln-tandrick", defaults, config))}};
    Figure bareRss{{double(idleRss(g_refDir + "/ref_bare", root, config))}};
    {
        // CPU of the idle program, window shown, after the output was released.
        QProcess p;
        startWindowed(p, defaults + "/orvo-peln-tandrick", defaults, config);
        p.waitForStarted();
        settle(4000);
        const QString stat = QString("/proc/%1/stat").arg(p.processId());
        const double before = processCpuSeconds(stat);
        settle(10000);
        const double used = processCpuSeconds(stat) - before;
        p.kill();
        p.waitForFinished();
        row("CPU idle, window open (% of a core)", Figure{{used / 10}}, "%", 100, {});
    }
    row("peak RSS idle, default tests (MiB)", idle, "MiB", 1.0 / 1024,
        {{"bare Qt window", bareRss}});
    row("peak RSS playing (MiB)", Figure{{double(rssPlaying)}}, "MiB", 1.0 / 1024,
        {{"bare Qt window", bareRss}});
    {
        QProcess p;
        // Settings of its own: the rows before leave a test chosen that this folder lacks.
        p.start(QCoreApplication::applicationFilePath(),
                {"--clicks", defaults + "/orvo-peln-tandrick", defaults, root + "/clicks-config",
                 QString::number(g_runs)});
        p.waitForFinished(g_runs * 20000 + 10000);
        Figure first, idle;
        for (const QString& line : QString::fromLatin1(p.readAllStandardOutput()).split('\n')) {
            const QStringList parts = line.split(' ');
            if (parts.size() == 4) {
                first.add(parts[1].toDouble() / 1000);
                idle.add(parts[3].toDouble() / 1000);
            }
        }
        row("real click -> sound, first press", first, "ms", 1000, {});
        row("real click -> sound, after 3.6 s", idle, "ms", 1000, {});
    }
    {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {"--presses", root + "/ours", "85"});
        p.waitForFinished(60000);
        const QStringList parts = QString::fromLatin1(p.readAllStandardOutput()).split(' ');
        const double grown = parts.value(3).trimmed().toDouble() - parts.value(1).toDouble();
        row("RSS growth, 85 quick presses (KiB)", Figure{{grown}}, "KiB", 1, {});
    }
    return 0;
}
