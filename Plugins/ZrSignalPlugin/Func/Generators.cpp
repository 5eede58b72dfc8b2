// Waveform generators (placeholder until the family lands).
