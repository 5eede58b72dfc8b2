// Tempo as formulas read it (bpm, beat, beatphase), and the clock that derives it from beat
// instants, wherever they come from: a beat tracker listening to music, or a hand tapping.
#pragma once

#include <array>
#include <cstddef>

#include "zrparser/ZrExport.h"

namespace zrhost {

// The host variables of a tempo source, for one frame.
struct TempoValues {
    double bpm = 0.0;       // beats per minute; 0 while unknown
    double beat = 0.0;      // 1 on the frame a beat falls in, else 0
    double beatphase = 0.0; // 0 to 1 within the beat
};

// Tempo and phase from beat instants. The tempo is the slope of the last beats over their
// numbers (a least-squares line), where a gap of about two beats counts as a missed beat, so
// one late or missing beat moves it little. Two intervals in a row more than a tenth off the
// tempo are a new tempo: the beats before them are forgotten. Holds a fixed number of beats:
// no allocation.
class ZR_API BeatClock {
public:
    static constexpr std::size_t WINDOW = 8; // the beats the tempo is taken from

    // A beat at `seconds`, later than the one before.
    void beatAt(double seconds);
    // Forgets every beat.
    void reset()
    {
        next_ = 0;
        count_ = 0;
        offTempo_ = 0;
        bpm_ = 0.0;
    }

    std::size_t beats() const { return count_; }
    double lastBeat() const { return count_ > 0 ? times_[(next_ + WINDOW - 1) % WINDOW] : 0.0; }
    // Beats per minute from the last beats; 0 with fewer than three.
    double bpm() const { return bpm_; }
    // The phase at `seconds`, 0 to 1, counted from the last beat at bpm(); 0 while bpm() is 0.
    double phaseAt(double seconds) const;

private:
    std::array<double, WINDOW> times_{};
    std::array<double, WINDOW> numbers_{}; // each beat's number: gaps of missed beats counted
    std::size_t next_ = 0;
    std::size_t count_ = 0;
    std::size_t offTempo_ = 0; // intervals in a row that do not fit the tempo
    double bpm_ = 0.0;

    void keepLast(std::size_t beats);
    void fitTempo();
};

} // namespace zrhost
