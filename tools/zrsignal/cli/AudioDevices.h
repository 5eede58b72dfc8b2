// The devices command's work, in the show commands' module (it needs PortAudio, which the
// program does not load): the audio input devices a show can hear.
#pragma once

namespace zrsignal {

// Writes the input devices that can be opened to stdout, one a line: number, name, host API,
// input channels, default sample rate; the default input is marked. Returns 0, or 1 when there
// is none (said on stderr). Throws InputError when the audio system cannot start.
int listAudioDevices();

} // namespace zrsignal
