#!/usr/bin/env python3
"""Checks a mix captured by sndmod_wave (VOZER_SOUND_CAPTURE) against what the
tones test Program asked for: tone frequencies in the right channels, at the
volumes asked within 1 dB, starting within 60 ms of the request; music that
loops without a gap or a click; a fade-out that takes its second.

usage: capture_check.py CAPTURE.wav TRACE.txt CAPTURE_START_MS
Prints what it measured; exits 1 when a check fails."""
import math
import struct
import sys
import wave

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def read_capture(path):
    with wave.open(path, "rb") as w:
        assert w.getnchannels() == 2 and w.getsampwidth() == 2, "16-bit stereo expected"
        rate = w.getframerate()
        data = w.readframes(w.getnframes())
    samples = struct.unpack("<%dh" % (len(data) // 2), data)
    return rate, [s / 32768.0 for s in samples[0::2]], [s / 32768.0 for s in samples[1::2]]


def rms(x, a, b):
    part = x[a:b]
    return math.sqrt(sum(v * v for v in part) / max(1, len(part)))


def goertzel(x, a, b, hz, rate):
    """Amplitude of the `hz` component of x[a:b]."""
    k = 2.0 * math.cos(2.0 * math.pi * hz / rate)
    s1 = s2 = 0.0
    for v in x[a:b]:
        s1, s2 = v + k * s1 - s2, s1
    power = s1 * s1 + s2 * s2 - k * s1 * s2
    return 2.0 * math.sqrt(max(power, 0.0)) / (b - a)


def db(ratio):
    return 20.0 * math.log10(ratio) if ratio > 0 else -999.0


def onset(x, start, threshold=0.01):  # first sample above the threshold from `start` on
    for i in range(max(start, 0), len(x)):
        if abs(x[i]) > threshold:
            return i
    return None


def main():
    rate, left, right = read_capture(sys.argv[1])
    trace = dict(line.split()[:2] for line in open(sys.argv[2]) if len(line.split()) >= 2)
    capture_start = int(sys.argv[3])
    frame = lambda ms: int((int(ms) - capture_start) * rate / 1000)  # noqa: E731
    ms = lambda frames: frames * 1000.0 / rate  # noqa: E731
    print("capture: %d frames at %d Hz, %.2f s" % (len(left), rate, len(left) / rate))

    # Tones: 440 Hz at 0.5 hard left, 660 Hz at 0.25 hard right, each at 80%
    # of full scale in its file.
    asked = frame(trace["tones-at"])
    for name, x, other, hz, wrong, volume in (("left", left, right, 440, 660, 0.5), ("right", right, left, 660, 440, 0.25)):
        start = onset(x, asked - int(0.2 * rate))
        check(start is not None, "%s tone found" % name)
        if start is None:
            continue
        delay = ms(start - asked)
        # The engine clock counts whole milliseconds: a start a tick early is on time.
        check(-2.0 <= delay <= 60.0, "%s tone starts %.1f ms after the request (0..60)" % (name, delay))
        a, b = start + int(0.1 * rate), start + int(0.4 * rate)
        level = rms(x, a, b) * math.sqrt(2.0)
        check(abs(db(level / (0.8 * volume))) <= 1.0,
              "%s tone at %.4f of full scale, asked %.4f (%.2f dB)" % (name, level, 0.8 * volume, db(level / (0.8 * volume))))
        purity = db(goertzel(x, a, b, hz, rate) / max(goertzel(x, a, b, wrong, rate), 1e-9))
        check(purity >= 30.0, "%s channel: %d Hz is %.1f dB above %d Hz" % (name, hz, purity, wrong))
        stray = goertzel(other, a, b, hz, rate)
        check(stray < 0.001, "%d Hz in the other channel: %.5f of full scale" % (hz, stray))

    # Music: 1 s of 441 Hz at half scale, looping: no sample step beyond what
    # the tone itself makes (with room for the codec), and no quiet 10 ms.
    music_on, music_off = frame(trace["music-at"]), frame(trace["stop-at"])
    a, b = music_on + int(0.1 * rate), music_off
    natural = 0.5 * 2.0 * math.pi * 441.0 / rate
    step = max(abs(left[i] - left[i - 1]) for i in range(a + 1, b))
    check(step <= 1.5 * natural, "largest step in %.1f s of looping music %.4f (tone's own %.4f)" % ((b - a) / rate, step, natural))
    windows = [rms(left, i, i + rate // 100) for i in range(a, b - rate // 100, rate // 100)]
    check(min(windows) >= 0.8 * 0.5 / math.sqrt(2.0), "quietest 10 ms of the music %.4f (steady %.4f)" % (min(windows), 0.5 / math.sqrt(2.0)))

    # Fade-out over one second: half way at half the level, silent at its end.
    full = rms(left, music_off - int(0.2 * rate), music_off - int(0.1 * rate))
    mid = rms(left, music_off + int(0.45 * rate), music_off + int(0.55 * rate))
    late = rms(left, music_off + int(0.85 * rate), music_off + int(0.9 * rate))
    after = rms(left, music_off + int(1.07 * rate), music_off + int(1.2 * rate))
    check(0.40 <= mid / full <= 0.60, "fade half way: %.2f of the level before (0.5 asked)" % (mid / full))
    check(0.05 <= late / full <= 0.22, "fade at 0.85-0.9 s: %.2f of the level (0.125 asked)" % (late / full))
    check(after < 0.001, "silent after the fade: %.5f" % after)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
