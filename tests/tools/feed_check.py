#!/usr/bin/env python3
# Copied unchanged (apart from this line) from the project's shared tools: the aggregators' rules for a feed line, as read from their parsers.
"""Checks ACARS JSON feed lines against what the aggregators accept.

Usage: feed_check.py FILE|-  [--skew SECONDS]
Exit status 0 when every line is accepted, 1 otherwise; one summary line, then the reasons.

The rules are those of acars_router's input path (its message parser's ACARS variant, read from
its public source): each datagram/line is split on newlines and on '}{'; each piece must be a JSON
object without duplicate keys whose fields have these types (only `freq` is required):
  freq number · channel int 0..65535 · error int 0..255 · level number · timestamp number
  station_id, mode, label, block_id, tail, text, msgno, flight: strings · ack: string or bool
  app: object with string `name` and `ver`
A line without `timestamp` is dropped; with --skew, one further than SECONDS from now is dropped.
Added here, from the conventions of acarsdec and acarshub: a label holds no control character
(DEL is written "_d"), and a UDP datagram stays under 5000 bytes (the router's receive buffer).
"""
import json
import sys
import time
from collections import Counter


def uint(lo, hi):
    return lambda v: isinstance(v, int) and not isinstance(v, bool) and lo <= v <= hi


def number(v):
    return isinstance(v, (int, float)) and not isinstance(v, bool)


def string(v):
    return isinstance(v, str)


FIELDS = {  # name: (required, check)
    'freq': (True, number), 'channel': (False, uint(0, 65535)), 'error': (False, uint(0, 255)),
    'level': (False, number), 'timestamp': (False, number), 'station_id': (False, string),
    'mode': (False, string), 'label': (False, string), 'block_id': (False, string),
    'ack': (False, lambda v: isinstance(v, (str, bool))), 'tail': (False, string),
    'text': (False, string), 'msgno': (False, string), 'flight': (False, string),
    'icao': (False, uint(0, 2**32 - 1)), 'toaddr': (False, uint(0, 2**32 - 1)),
    'assstat': (False, string), 'is_response': (False, uint(0, 255)), 'is_onground': (False, uint(0, 255)),
}


def problems(obj):
    out = []
    for key, (required, check) in FIELDS.items():
        if key not in obj:
            if required:
                out.append(f'missing field `{key}`')
        elif obj[key] is not None and not check(obj[key]):
            out.append(f'`{key}` has the wrong type: {obj[key]!r:.40}')
    app = obj.get('app')
    if app is not None:
        if not isinstance(app, dict) or not string(app.get('name')) or not string(app.get('ver')):
            out.append('`app` needs string `name` and `ver`')
    label = obj.get('label')
    if isinstance(label, str) and any(ord(c) < 0x20 or ord(c) == 0x7F for c in label):
        out.append('label holds a control character (DEL is written "_d")')
    if 'timestamp' not in obj:
        out.append('no timestamp')
    return out


class Obj(dict):
    duplicate = False


def no_duplicates(pairs):
    obj = Obj(pairs)
    obj.duplicate = len(obj) != len(pairs)
    return obj


def pieces(line):
    parts = line.split('}{')
    if len(parts) == 1:
        return parts
    return [p + '}' if i == 0 else '{' + p if i == len(parts) - 1 else '{' + p + '}' for i, p in enumerate(parts)]


def main():
    args = sys.argv[1:]
    skew = None
    if '--skew' in args:
        i = args.index('--skew')
        skew = float(args[i + 1])
        del args[i:i + 2]
    if len(args) != 1:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    data = sys.stdin.buffer if args[0] == '-' else open(args[0], 'rb')
    now = time.time()
    reasons, lines, accepted = Counter(), 0, 0
    for raw in data:
        raw = raw.rstrip(b'\r\n')
        if not raw:
            continue
        lines += 1
        if len(raw) >= 5000:
            reasons['line of 5000 bytes or more (cut by the router\'s UDP buffer)'] += 1
        try:
            text = raw.decode('utf-8')
        except UnicodeDecodeError:
            reasons['not UTF-8'] += 1
            continue
        ok = True
        for piece in pieces(text):
            if piece is not text:
                reasons['split apart at "}{"'] += 1
            try:
                obj = json.loads(piece, object_pairs_hook=no_duplicates)
            except ValueError:
                reasons['not JSON'] += 1
                ok = False
                continue
            if not isinstance(obj, dict):
                reasons['not an object'] += 1
                ok = False
                continue
            if obj.duplicate:
                reasons['duplicate key'] += 1
                ok = False
            found = problems(obj)
            if skew is not None and number(obj.get('timestamp')) and abs(obj['timestamp'] - now) > skew:
                found.append(f'timestamp more than {skew:g} s from now')
            for p in found:
                reasons[p] += 1
            ok = ok and not found
        accepted += ok
    print(f'{args[0]}: {lines} lines, {accepted} accepted, {lines - accepted} dropped')
    for reason, count in reasons.most_common():
        print(f'  {count:6d}  {reason}')
    return 0 if lines and accepted == lines else 1


if __name__ == '__main__':
    sys.exit(main())
