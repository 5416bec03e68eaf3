#include "readingsource.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

QByteArray LiveFrame::encode(bool recording) const {
    const int magnitude = std::min(std::abs(count), 9999);
    QByteArray f(9, '0');
    f[0] = char(0x30 | (range & 0x0F));
    f[1] = char('0' + magnitude / 1000);
    f[2] = char('0' + magnitude / 100 % 10);
    f[3] = char('0' + magnitude / 10 % 10);
    f[4] = char('0' + magnitude % 10);
    f[5] = char(0x30 | (function & 0x0F));
    f[6] = char(0x30 | (overload ? 0x1 : 0) | (lowBattery ? 0x2 : 0) | (count < 0 ? 0x4 : 0) |
                (altMode ? 0x8 : 0));
    f[7] = char(0x30 | (frequencyMode ? 0x1 : 0) | (recording ? 0x2 : 0) | (peakHold ? 0x4 : 0));
    f[8] = char(0x30 | (autoRange ? 0x2 : 0) | (ac ? 0x4 : 0) | (dc ? 0x8 : 0));
    return f;
}

namespace {

constexpr double kPi = 3.14159265358979323846;

// Functions whose readings carry an AC or DC annunciator: voltage and the three currents.
bool hasCoupling(int function) {
    return function == 9 || function == 11 || function == 13 || function == 15;
}

class ScriptSource final : public ReadingSource {
public:
    ScriptSource(QList<QByteArray> frames, bool loop) : m_frames(std::move(frames)), m_loop(loop) {}

    QByteArray next() override {
        if (m_frames.isEmpty())
            return LiveFrame().encode();
        const QByteArray frame = m_frames.at(m_next);
        if (m_next + 1 < m_frames.size())
            ++m_next;
        else if (m_loop)
            m_next = 0;
        return frame;
    }

private:
    QList<QByteArray> m_frames;
    bool m_loop;
    qsizetype m_next = 0;
};

// One function/range/mode of the tour, shown for framesPerStep frames.
struct TourStep {
    int function;
    int range;
    bool altMode = false;
    bool frequencyMode = false;
    bool ac = false;
    bool dc = false;
    int centre = 2000; // counts
    int swing = 500;   // counts
    int limit = 3999;  // largest count the range shows
    bool peakStretch = false;
    bool overload = false;
    bool lowBattery = false;
};

std::vector<TourStep> tourSteps() {
    std::vector<TourStep> steps;
    auto add = [&steps](TourStep s) { steps.push_back(s); };

    // Voltage (11): mV, then the four V ranges; DC swings through zero, AC stays positive.
    for (int r = 0; r <= 4; ++r) {
        const int limit = r == 4 ? 1000 : 3999;
        TourStep dc{11, r};
        dc.dc = true;
        dc.centre = r == 4 ? 200 : 600;
        dc.swing = r == 4 ? 500 : 2400;
        dc.limit = limit;
        dc.peakStretch = r == 2;
        dc.overload = r == 1;
        add(dc);
        TourStep ac{11, r};
        ac.ac = true;
        ac.centre = r == 4 ? 600 : 2300;
        ac.swing = r == 4 ? 300 : 1200;
        ac.limit = limit;
        ac.overload = r == 3;
        add(ac);
    }
    // Currents: mA (9) ranges 0 and 1, uA (13) range 0, A (15).
    for (int r = 0; r <= 1; ++r) {
        TourStep dc{9, r};
        dc.dc = true;
        dc.centre = 1500;
        dc.swing = 1800;
        dc.peakStretch = r == 0;
        add(dc);
        TourStep ac{9, r};
        ac.ac = true;
        ac.centre = 1800;
        ac.swing = 900;
        ac.overload = r == 1;
        add(ac);
    }
    {
        TourStep dc{13, 0};
        dc.dc = true;
        dc.centre = 1200;
        dc.swing = 1500;
        add(dc);
        TourStep ac{13, 0};
        ac.ac = true;
        ac.centre = 2500;
        ac.swing = 800;
        add(ac);
        TourStep adc{15, 0};
        adc.dc = true;
        adc.centre = 300;
        adc.swing = 450;
        adc.limit = 1000;
        adc.overload = true;
        add(adc);
        TourStep aac{15, 0};
        aac.ac = true;
        aac.centre = 500;
        aac.swing = 200;
        aac.limit = 1000;
        add(aac);
    }
    // Resistance (3), ranges 0..5.
    for (int r = 0; r <= 5; ++r) {
        TourStep s{3, r};
        s.centre = 1000 + 400 * r;
        s.swing = 150;
        s.overload = r == 5;
        add(s);
    }
    // Continuity (5): a few ohms, open (overload) now and then.
    {
        TourStep s{5, 0};
        s.centre = 40;
        s.swing = 35;
        s.overload = true;
        add(s);
    }
    // Diode (1): a forward voltage around 0.6 V.
    {
        TourStep s{1, 0};
        s.centre = 600;
        s.swing = 40;
        add(s);
    }
    // Frequency (2), ranges 0..5, then the same ranges as RPM (alt mode).
    for (int r = 0; r <= 5; ++r) {
        TourStep s{2, r};
        s.frequencyMode = true;
        s.centre = 2000;
        s.swing = 1500;
        s.peakStretch = r == 1;
        s.overload = r == 4;
        add(s);
    }
    for (int r = 0; r <= 5; ++r) {
        TourStep s{2, r, true};
        s.centre = 1800;
        s.swing = 1200;
        add(s);
    }
    // Temperature (4): Fahrenheit, then Celsius (alt mode); whole degrees.
    {
        TourStep f{4, 0};
        f.centre = 72;
        f.swing = 6;
        add(f);
        TourStep c{4, 0, true};
        c.centre = 22;
        c.swing = 4;
        add(c);
    }
    // Capacitance (6), ranges 0..7; a low battery at the very end.
    for (int r = 0; r <= 7; ++r) {
        TourStep s{6, r};
        s.centre = 2200 - 100 * r;
        s.swing = 80;
        s.lowBattery = r == 7;
        s.overload = r == 6;
        add(s);
    }
    return steps;
}

// Generated readings: a slow sine with a little deterministic noise.
class TourSource final : public ReadingSource {
public:
    explicit TourSource(int framesPerStep)
        : m_steps(tourSteps()), m_framesPerStep(std::max(1, framesPerStep)) {}

    QByteArray next() override {
        const qint64 n = m_frame++;
        const auto& step = m_steps[std::size_t(n / m_framesPerStep % qint64(m_steps.size()))];
        const int k = int(n % m_framesPerStep);
        const int stepIndex = int(n / m_framesPerStep % qint64(m_steps.size()));

        LiveFrame f;
        f.function = step.function;
        f.range = step.range;
        f.altMode = step.altMode;
        f.frequencyMode = step.frequencyMode;
        f.ac = step.ac;
        f.dc = step.dc;
        f.autoRange = stepIndex % 4 != 3; // every fourth step in manual range
        f.lowBattery = step.lowBattery && k >= m_framesPerStep / 2;
        f.peakHold = step.peakStretch && k >= m_framesPerStep / 4 && k < 3 * m_framesPerStep / 4;
        f.overload = step.overload && k == std::max(0, m_framesPerStep - 3);

        const double wave = std::sin(2 * kPi * double(n) / 37.0);
        int count = int(std::lround(step.centre + step.swing * wave)) + noise();
        if (!step.dc)
            count = std::max(count, 0); // AC and the unsigned functions read positive
        f.count = std::clamp(count, -step.limit, step.limit);
        return f.encode();
    }

private:
    int noise() {
        m_seed = m_seed * 1103515245u + 12345u;
        return int((m_seed >> 16) % 7u) - 3;
    }

    std::vector<TourStep> m_steps;
    int m_framesPerStep;
    qint64 m_frame = 0;
    quint32 m_seed = 20240601u;
};

class SteadySource final : public ReadingSource {
public:
    SteadySource(int function, int range, int centre, int swing)
        : m_function(function), m_range(range), m_centre(centre), m_swing(swing) {}

    QByteArray next() override {
        LiveFrame f;
        f.function = m_function;
        f.range = m_range;
        f.frequencyMode = m_function == 2;
        f.dc = hasCoupling(m_function);
        f.ac = false;
        const double wave = std::sin(2 * kPi * double(m_frame++) / 40.0);
        f.count = std::clamp(int(std::lround(m_centre + m_swing * wave)), -9999, 9999);
        return f.encode();
    }

private:
    int m_function;
    int m_range;
    int m_centre;
    int m_swing;
    qint64 m_frame = 0;
};

bool isFrame(const QByteArray& line) {
    if (line.size() != 9)
        return false;
    return std::all_of(line.begin(), line.end(), [](char c) { return (uchar(c) & 0xF0) == 0x30; });
}

} // namespace

std::unique_ptr<ReadingSource> ReadingSource::script(const QList<QByteArray>& frames, bool loop) {
    return std::make_unique<ScriptSource>(frames, loop);
}

std::unique_ptr<ReadingSource> ReadingSource::scriptFile(const QString& path, QString* error) {
    auto fail = [error](const QString& text) -> std::unique_ptr<ReadingSource> {
        if (error)
            *error = text;
        return nullptr;
    };

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1: cannot open: %2").arg(path, file.errorString()));

    QList<QByteArray> frames;
    int lineNumber = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        ++lineNumber;
        // '#' is outside 0x30..0x3F, so everything from it on is a comment.
        const qsizetype hash = line.indexOf('#');
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (!isFrame(line))
            return fail(
                QStringLiteral("%1: line %2: expected nine characters 0x30..0x3F, got \"%3\"")
                    .arg(path)
                    .arg(lineNumber)
                    .arg(QString::fromLatin1(line)));
        frames.append(line);
    }
    if (frames.isEmpty())
        return fail(QStringLiteral("%1: no frames").arg(path));
    return script(frames, true);
}

std::unique_ptr<ReadingSource> ReadingSource::tour(int framesPerStep) {
    return std::make_unique<TourSource>(framesPerStep);
}

std::unique_ptr<ReadingSource> ReadingSource::steady(int function, int range, int centre,
                                                     int swing) {
    return std::make_unique<SteadySource>(function, range, centre, swing);
}
