#pragma once

#include "BrowserLauncher.h"
#include "FakeEngine.h"
#include "RandomDraw.h"
#include "RecordingReportBox.h"
#include "Services.h"
#include "SettingsStore.h"
#include "TestFolder.h"

// A draw that always gives the same value.
class FixedDraw : public RandomDraw {
public:
    void seed(unsigned value) override { seeds.append(value); }
    double next() override { return value; }
    double value = 0.5; // draws 51
    QList<unsigned> seeds;
};

class RecordingBrowser : public BrowserLauncher {
public:
    void open(const QString& address) override
    {
        opened.append(address);
        if (fail)
            throw RunTimeError("File not found");
    }
    QStringList opened;
    bool fail = false;
};

// Everything a window needs from outside, recorded, in a fresh program and settings folder.
struct TestServices {
    TestFolder folder;
    FakeEngine engine;
    RecordingReportBox report;
    SettingsStore settings{folder.settingsFolder()};
    FixedDraw random;
    RecordingBrowser browser;
    int endProcessCalls = 0;
    Services services{report, settings, random, browser, [this] { ++endProcessCalls; }};

    QString stored(const char* key) const { return readSetting(settings, key, "(absent)"); }
};
