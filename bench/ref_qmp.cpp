// Reference: a minimal QMediaPlayer program with the default backend.
// Protocol: prints "ready" once the media is loaded; reads "go" (prints "t NANOSECONDS" and
// plays), "volume V" (0..1), "rate R", "loop", "cpu SECONDS" (prints "cpu SECONDS_USED rss KB"),
// "quit".
#include <QAudioOutput>
#include <QCoreApplication>
#include <QMediaPlayer>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakRssKb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key)
        if (key == "VmHWM:" && status >> value)
            return value;
    return 0;
}

void stamp()
{
    const auto t = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("t %lld\n",
                (long long)std::chrono::duration_cast<std::chrono::nanoseconds>(t).count());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QMediaPlayer player;
    QAudioOutput output;
    player.setAudioOutput(&output);
    output.setVolume(0.5f);
    QObject::connect(&player, &QMediaPlayer::mediaStatusChanged,
                     [&](QMediaPlayer::MediaStatus status) {
                         static bool told = false;
                         if (status == QMediaPlayer::LoadedMedia && !told) {
                             told = true;
                             std::printf("ready\n");
                             std::fflush(stdout);
                         }
                     });
    player.setSource(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
    // Commands may arrive several at once: read what is there and handle each whole line.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    const auto handle = [&](const QByteArray& text) {
        const char* line = text.constData();
        double value = 0;
        if (sscanf(line, "volume %lf", &value) == 1) {
            stamp();
            output.setVolume(float(value));
        } else if (sscanf(line, "rate %lf", &value) == 1) {
            stamp();
            player.setPlaybackRate(value);
        } else if (sscanf(line, "cpu %lf", &value) == 1) {
            const double before = cpuSeconds();
            QTimer::singleShot(int(value * 1000), [before] {
                std::printf("cpu %f rss %ld\n", cpuSeconds() - before, peakRssKb());
                std::fflush(stdout);
            });
        } else if (strncmp(line, "loop", 4) == 0) {
            player.setLoops(QMediaPlayer::Infinite);
        } else if (strncmp(line, "go", 2) == 0) {
            stamp();
            player.play();
        } else if (strncmp(line, "quit", 4) == 0) {
            app.quit();
        }
    };
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[256];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            app.quit();
            return;
        }
        pending.append(chunk, got);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            handle(pending.left(end));
            pending.remove(0, end + 1);
        }
    });
    return app.exec();
}
