"""Checks on the lines Link peers print, for tests/e2e/link_session.sh.

Every line: "<who> MICROS peers N tempo BPM beat B ..." (the program's carry "vantrel: link" in
front), MICROS on Link's clock, which every process on the machine shares.
Usage: link_lines.py CHECK ARGS...; prints what it measured, exits 1 when the check fails.
"""
import sys


def read(path, word):
    lines = []
    for text in open(path, errors="replace"):
        parts = text.split()
        if word not in parts:
            continue
        parts = parts[parts.index(word):]
        try:
            fields = {parts[i]: float(parts[i + 1]) for i in range(2, len(parts) - 1, 2)}
            fields["micros"] = float(parts[1])
        except (ValueError, IndexError):
            continue
        lines.append(fields)
    return lines


def beat_at(lines, micros):
    """The beat a peer's lines give at a moment: from its nearest line, at its tempo."""
    near = min(lines, key=lambda line: abs(line["micros"] - micros))
    return near["beat"] + (micros - near["micros"]) * near["tempo"] / 60e6, near


def phase_gap_ms(beat_a, beat_b, quantum, tempo):
    gap = (beat_a - beat_b) % quantum
    gap = gap - quantum if gap > quantum / 2 else gap
    return abs(gap) * 60000.0 / tempo


def main():
    check, args = sys.argv[1], sys.argv[2:]
    if check == "joined":  # PROGRAM-LOG SECONDS: a peer met within SECONDS of the first line
        lines = read(args[0], "link")
        met = [line for line in lines if line["peers"] >= 1]
        if not lines or not met:
            print("no peer met")
            return 1
        took = (met[0]["micros"] - lines[0]["micros"]) / 1e6
        print("joined after %.2f s" % took)
        return 0 if took <= float(args[1]) else 1
    if check == "phase":  # PROGRAM-LOG PEER-LOG QUANTUM MS FROM-MICROS: ten moments in phase (3: too few yet)
        ours, peer = read(args[0], "link"), read(args[1], "peer")
        quantum, limit, since = float(args[2]), float(args[3]), float(args[4])
        moments = [line for line in ours if line["micros"] >= since and line["peers"] >= 1]
        moments = moments[:: max(1, len(moments) // 10)][:10]
        if len(moments) < 10 or not peer:
            print("only %d moments to compare yet" % len(moments))
            return 3
        worst = 0.0
        for line in moments:
            theirs, near = beat_at(peer, line["micros"])
            worst = max(worst, phase_gap_ms(line["beat"] * line.get("span", 1), theirs, quantum, near["tempo"]))
        print("10 moments, phase apart by %.3f ms at most" % worst)
        return 0 if worst <= limit else 1
    if check == "tempo":  # LOG WORD BPM FROM-MICROS SECONDS: the tempo shown within SECONDS
        lines = read(args[0], args[1])
        bpm, since, within = float(args[2]), float(args[3]), float(args[4])
        reached = [line for line in lines if line["micros"] >= since and abs(line["tempo"] - bpm) < 1e-3]
        if not reached:
            print("%s never showed %g BPM" % (args[1], bpm))
            return 1
        took = (reached[0]["micros"] - since) / 1e6
        print("%s showed %g BPM after %.3f s" % (args[1], bpm, took))
        return 0 if took <= within else 1
    if check == "met":  # PROGRAM-LOG: the micros of its first line with a peer
        met = [line for line in read(args[0], "link") if line["peers"] >= 1]
        print("%d" % met[0]["micros"] if met else "0")
        return 0 if met else 1
    if check == "first":  # LOG WORD BPM: the micros of the first line at that tempo
        lines = [line for line in read(args[0], args[1]) if abs(line["tempo"] - float(args[2])) < 1e-3]
        print("%d" % lines[0]["micros"] if lines else "0")
        return 0 if lines else 1
    if check == "steady":  # LOG WORD BPM FROM-MICROS: the beat runs on at that tempo from then
        lines = [line for line in read(args[0], args[1]) if line["micros"] >= float(args[3])]
        if len(lines) < 5:
            print("only %d lines after the peer left" % len(lines))
            return 1
        first, last = lines[0], lines[-1]
        bpm = (last["beat"] - first["beat"]) / ((last["micros"] - first["micros"]) / 60e6)
        held = all(abs(line["tempo"] - float(args[2])) < 1e-3 for line in lines)
        print("%.2f s after the peer left: the beat ran at %.2f BPM, tempo held: %s" %
              ((last["micros"] - first["micros"]) / 1e6, bpm, held))
        return 0 if held and abs(bpm - float(args[2])) < 0.01 * float(args[2]) else 1
    if check == "led":  # SHOW-LOG PEER-LOG QUANTUM MS FROM-MICROS: the peer on the show's beat
        show, peer = read(args[0], "link"), read(args[1], "peer")
        quantum, limit, since = float(args[2]), float(args[3]), float(args[4])
        moments = [line for line in peer if line["micros"] >= since][:10]
        if len(moments) < 10 or not show:
            print("only %d peer lines to compare" % len(moments))
            return 1
        worst, tempos = 0.0, set()
        for line in moments:
            heard, _ = beat_at(show, line["micros"])
            worst = max(worst, phase_gap_ms(line["beat"], heard, quantum, 186.0))
            tempos.add(line["tempo"])
        print("the peer read %s BPM, its phase %.3f ms from the show's heard beat at most" %
              (sorted(tempos), worst))
        return 0 if tempos == {186.0} and worst <= limit else 1
    print("unknown check " + check)
    return 2


sys.exit(main())
