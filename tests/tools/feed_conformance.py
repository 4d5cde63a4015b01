#!/usr/bin/env python3
"""Every feed line varnesk-decode --json prints passes feed_check.py: for the
off-air recordings, for generated audio of every kind of block, and for IQ
recordings in each sample format. Each input must give at least the lines its
blocks call for, and the checker must refuse a line that breaks its rules.

Usage: feed_conformance.py DECODE GEN FIXTURES
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKER = os.path.join(HERE, 'feed_check.py')

# One block of each kind the feed writes differently, on both channels.
KINDS = r'''
L 0.5 2 .JA8089 NAK H1 1 ETX M01AJL0012POS N3540.1E13945.2,123456\r\n
R 0.5 2 .JA8089 NAK H1 2 ETB M02AJL0012PART ONE OF TWO
L 1.5 m ..JA803 3 H1 B ETX UPLINK "QUOTED" \\ TEXT
R 1.5 2 .JA8089 A _\x7f 5 ETX
L 2.5 2 ....... a SQ 0 ETX 02XAHND
R 2.5 x .LN-DYY 5 _\x7f A ETX
L 3.5 2 .JA8089 NAK 5Z 3 ETX M03AJL0012\x82\xa0 \x01\x1f\x7f end
R 3.5 2 .JA8089 NAK 80 4 ETB M04AJL0012
'''
KIND_COUNT = 8


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, stdout=subprocess.PIPE, **kw).stdout


def main():
    decode, gen, fixtures = sys.argv[1:4]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        ini = os.path.join(work, 'station.ini')  # [Wave] Freq1/Freq2 unknown: 0.0
        with open(ini, 'w') as f:
            f.write('[Feed]\nStationId=\n')
        blocks = os.path.join(work, 'kinds.txt')
        with open(blocks, 'w') as f:
            f.write(KINDS)
        # (input, the least number of lines it must give)
        # The blocks of the off-air recordings (the 4-channel file gives its first two channels).
        real = {'acarsdec-test-4ch-12500.wav': 4, 'acarsdec-test-ch0ch1-22050-stereo.wav': 4,
                'acarsdec-test-ch2ch3-22050-stereo.wav': 3}
        inputs = [(os.path.join(fixtures, n), least) for n, least in real.items()]
        kinds_wav = os.path.join(work, 'kinds.wav')
        run([gen, '--blocks', blocks, '--ebn0', '30', kinds_wav])
        inputs.append((kinds_wav, KIND_COUNT))
        random_wav = os.path.join(work, 'random.wav')
        run([gen, '--random', '15', '--ebn0', '30', '--seed', '4', random_wav])
        inputs.append((random_wav, 30))
        for fmt, extra in (('cu8', ['--blocks', blocks]), ('cs16', ['--random', '4'])):
            out = run([gen, '--iq', '--iq-format', fmt, '--iq-rate', '1024000', '--ebn0', '30', *extra,
                       os.path.join(work, 'iq-' + fmt)], cwd=work).decode()
            path = [w for w in out.split() if w.endswith('.' + fmt)][0]
            inputs.append((path if os.path.isabs(path) else os.path.join(work, path),
                           KIND_COUNT if fmt == 'cu8' else 8))
        every = os.path.join(work, 'every.jsonl')
        with open(every, 'wb') as out:
            for path, least in inputs:
                lines = run([decode, '--ini', ini, '--json', path])
                count = lines.count(b'\n')
                print(f'{os.path.basename(path)}: {count} lines')
                if count < least:
                    failures.append(f'{path}: {count} lines, {least} expected')
                out.write(lines)
        check = subprocess.run([sys.executable, CHECKER, every], stdout=subprocess.PIPE, text=True)
        print(check.stdout, end='')
        if check.returncode != 0:
            failures.append('feed_check.py refused lines')
        # The checker itself must refuse what the aggregators drop.
        bad = os.path.join(work, 'bad.jsonl')
        with open(bad, 'w') as f:
            f.write('{"timestamp":1.0,"channel":0,"label":"_\\u007f","app":{"name":"v","ver":"1"}}\n')
        if subprocess.run([sys.executable, CHECKER, bad], stdout=subprocess.DEVNULL).returncode != 1:
            failures.append('feed_check.py accepted a line without freq')
    for f in failures:
        print('FAIL:', f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
