// The keyword table: a few words for each function of the signal plug-in that makes an effect
// a designer names by what it looks like. Words only: a search matches them as it matches the
// words of a description.
#include "zrhost/CatalogueKeywords.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zrhost {

namespace {

using Keywords = std::pair<std::string_view, std::string_view>;

constexpr std::array KEYWORDS = {
    // Flashes and strobes
    Keywords{"__clock", "strobe, flash, blink, on and off, square wave"},
    Keywords{"__pulse", "strobe, flash, blink, hit"},
    Keywords{"__randpulse", "random strobe, sparkle, twinkle, glitter, random flash"},
    Keywords{"__randclock", "random strobe, flicker, sparkle, blink"},
    // Music
    Keywords{"beat", "music, kick, bass, sound to light, rhythm"},
    Keywords{"onbeat", "beat, music, kick, bass, sound to light, bump, flash on the beat, rhythm"},
    Keywords{"__trigger", "beat, hit, bump, flash, music"},
    Keywords{"__taptempo", "tap tempo, beat, bpm, tempo, pulse on the beat"},
    Keywords{"__taptempobpm", "tap tempo, bpm, tempo, beats per minute"},
    Keywords{"__bpmcounter", "bpm, tempo, beats per minute, beat"},
    // Chases and steps
    Keywords{"counter", "chase, step, running light, next fixture, cue"},
    Keywords{"pingcounter", "chase, bounce, back and forth, scanner, running light"},
    Keywords{"noloopcounter", "step, count up, cue"},
    Keywords{"loop", "chase, cycle, cue list, scenes, looks"},
    Keywords{"randloop", "random scenes, shuffle, chase, looks"},
    Keywords{"sequence", "cue list, scenes, chase, looks, timeline"},
    Keywords{"timedsequence", "cue list, timeline, scenes, looks"},
    Keywords{"__delay", "echo, offset, wave across fixtures, chase, follow"},
    // Waves and movement
    Keywords{"__sawtooth", "ramp, chase, rainbow, colour wheel, color wheel, wave, cycle"},
    Keywords{"map.sawtooth", "ramp, wave, cycle"},
    Keywords{"__triangle", "bounce, back and forth, breathe, wave"},
    Keywords{"map.triangle", "bounce, back and forth, wave"},
    Keywords{"__sin", "wave, breathe, breathing, sway, swing, smooth, slow pulse"},
    Keywords{"__cos", "wave, sway, swing, circle"},
    Keywords{"map.sin", "wave, breathe, smooth"},
    Keywords{"map.cos", "wave, smooth"},
    Keywords{"__organic", "flicker, candle, fire, flame, natural, breeze"},
    Keywords{"__randorganic", "flicker, candle, fire, flame, shimmer, random"},
    // Fades
    Keywords{"__fadeinlinear", "fade in, fade up, ramp up, soft start, attack"},
    Keywords{"__fadeinsigmoid", "fade in, fade up, ease in, soft start"},
    Keywords{"__fadeinexp", "fade in, fade up, swell"},
    Keywords{"__fadeinlog", "fade in, fade up, soft start"},
    Keywords{"__fadeoutlinear", "fade out, fade down, decay, release, tail, flash"},
    Keywords{"__fadeoutsigmoid", "fade out, fade down, ease out, decay"},
    Keywords{"__fadeoutexp", "fade out, fade down, decay, release"},
    Keywords{"__fadeoutlog", "fade out, fade down, decay"},
    Keywords{"__averager", "smooth, slow down, lag, soften"},
    // Colour
    Keywords{"rgb.red.hsi", "rainbow, colour wheel, color wheel, hue, colour chase, color chase"},
    Keywords{"rgb.green.hsi", "rainbow, colour wheel, color wheel, hue, colour chase, color chase"},
    Keywords{"rgb.blue.hsi", "rainbow, colour wheel, color wheel, hue, colour chase, color chase"},
    Keywords{"rgb.red", "colour mix, color mix, rgbw"},
    Keywords{"rgb.green", "colour mix, color mix, rgbw"},
    Keywords{"rgb.blue", "colour mix, color mix, rgbw"},
    Keywords{"hsi.hue.rgb", "colour, color, rainbow"},
    Keywords{"__transition.hue", "colour fade, color fade, crossfade, rainbow"},
    Keywords{"__transition.saturation", "colour fade, color fade, pastel, crossfade"},
    Keywords{"__circulartransition", "hue fade, wrap around, crossfade"},
    // Position
    Keywords{"motor.pan", "moving head, mover, pan, position, beam"},
    Keywords{"math.anglebetween", "aim, point at, follow spot, moving head, pan"},
    Keywords{"math.elevationangle", "aim, point at, follow spot, moving head, tilt"},
    Keywords{"distance", "radius, ripple, circle, from the centre, from the center, pixel map"},
    // Other
    Keywords{"rand", "random, chaos, dice"},
    Keywords{"randint", "random, dice, pick"},
    Keywords{"latch", "hold, freeze, remember"},
    Keywords{"__record", "record, playback, capture, loop"},
    Keywords{"select", "choose, pick, palette, preset"},
    Keywords{"switch", "choose, preset, palette"},
    Keywords{"scale", "range, convert, map"},
    Keywords{"restrain", "clamp, limit"},
    Keywords{"__timeout", "idle, no music, silence, screensaver"},
    Keywords{"__timeoutoractive", "idle, no music, silence, fallback"},
    Keywords{"timer", "time, seconds, stopwatch"},
};

} // namespace

std::string_view catalogueKeywords(std::string_view symbol)
{
    const auto* found = std::find_if(KEYWORDS.begin(), KEYWORDS.end(),
                                     [&](const Keywords& keywords) { return keywords.first == symbol; });
    return found == KEYWORDS.end() ? std::string_view() : found->second;
}

std::vector<std::string_view> symbolsWithKeywords()
{
    std::vector<std::string_view> symbols;
    for (const Keywords& keywords : KEYWORDS)
        symbols.push_back(keywords.first);
    return symbols;
}

} // namespace zrhost
