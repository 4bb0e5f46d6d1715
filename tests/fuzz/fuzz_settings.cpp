// Fuzz target for the stored values: both conversions on any text, then the whole startup
// restoring "Combo1", "Volume" and "Pitch" from that text. Built for libFuzzer with clang,
// and as a plain program that replays the kept corpus in the regular test suite.
#include "BrowserLauncher.h"
#include "Conversions.h"
#include "FakeEngine.h"
#include "Form1.h"
#include "FormLoad.h"
#include "PlayerControl.h"
#include "RandomDraw.h"
#include "RecordingReportBox.h"
#include "Services.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_settings: broken: %s\n", what);
        std::abort();
    }
}

class NoDraw : public RandomDraw {
public:
    void seed(unsigned) override {}
    double next() override { return 0.5; }
};

class NoBrowser : public BrowserLauncher {
public:
    void open(const QString&) override { check(false, "the home page opened on a draw of 51"); }
};

struct World {
    World()
    {
        static int argc = 1;
        static char name[] = "fuzz_settings";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = new QApplication(argc, argv);
    }
    QApplication* app;
    QTemporaryDir dir;
};

void conversions(const QString& text)
{
    bool strictOk = true;
    qint16 strict = 0;
    try {
        strict = toInt16Strict(text);
    } catch (const std::exception&) {
        strictOk = false;
    }
    try {
        const qint32 lenient = toInt32Lenient(text);
        // A text that is one whole number reads the same both ways.
        if (strictOk)
            check(lenient == strict, "strict and lenient disagree on a whole number");
    } catch (const std::exception&) {
        check(!strictOk, "lenient failed where strict did not");
    }
}

void restore(World& world, const QString& text)
{
    const QStringList parts = text.split(QChar(0x1F));
    SettingsStore store(world.dir.path() + "/settings");
    saveSetting(store, SettingKeys::Combo1, parts.value(0));
    saveSetting(store, SettingKeys::Volume, parts.value(1, "50"));
    saveSetting(store, SettingKeys::Pitch, parts.value(2, "1"));
    FakeEngine engine;
    RecordingReportBox report;
    NoDraw random;
    NoBrowser browser;
    Services services{report, store, random, browser, [] {}};
    Form1 form(engine, world.dir.path() + "/program");
    Form_Load(form, services);
    check(form.Slider1->value() >= 1 && form.Slider1->value() <= 100, "volume slider out of range");
    check(form.Slider2->value() >= 1 && form.Slider2->value() <= 50, "pitch slider out of range");
    check(engine.volume == form.Slider1->value(), "player volume differs from the slider");
    check(engine.rate == double(form.Slider2->value()), "player rate differs from the slider");
    for (const QString& place : report.places())
        check(place == "Form_Load 138" || place == "Form_Load 140" || place == "Form_Load 142",
              "a report from an unexpected line");
}

} // namespace

// The corpus replay sets this to run the whole startup for every input.
__attribute__((weak)) bool g_restoreEveryInput = false;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World world;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    conversions(text);
    // Whole startups are slower: run them for about one input in 32, chosen by a hash of the
    // content so that a failing input fails again when replayed.
    std::uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    if (g_restoreEveryInput || hash % 32 == 0)
        restore(world, text);
    return 0;
}
