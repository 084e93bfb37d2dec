#!/usr/bin/env python3
"""Writes n segments, four numbers a line, for the benchmarks.

usage: generate.py N [SEED] > test.txt            random, start points in [0, 1000]^2,
                                                  lengths up to ~200
       generate.py --sparse N [SEED] > test.txt   random, length 1.77 * sqrt(10^6 / N):
                                                  about one meeting pair per segment
       generate.py --family NAME N [SEED]         drawings that are not uniform:
  towns     200 towns in a 2e6 square, radius log-uniform 10..20000, street grids
            of segments sized to their town (2 radius / sqrt(its count))
  core      half in a 1 x 1 square (length 0.001), half over 1e6 x 1e6 (length 100)
  long      N/1000 lines across a 1000 square over unit segments
  fan       a lattice of 0.4 x 0.3 pieces in a 1000 square and 400 long lines
            converging on one point at its right edge
  strands   50 strands of near-collinear overlapping pieces
  polyline  the pieces of one long wiggly line
  map       towns of many sizes and long wiggly coastlines, density varying by 10^4
  coast     2000 long wiggly lines across a 2e6 square, as a continent's coasts and
            rivers: nearly every meeting pair a line's joint
  disc      chords of a disc, every pair crossing (N up to a few thousand)
  star      lines through one point, every pair crossing there
  borders   a map in degrees as border and river data are: borders drawn along rivers
            (sharing runs of vertices, metres apart elsewhere, crossing them at 0.05 to
            0.2 degrees), tributaries leaving a river at tiny angles, coastlines cut into
            tiles that meet end to end, and a few lines cut at +-180 degrees; every
            coordinate a float, written exactly
       generate.py --wkt [--family NAME] N [SEED] > layer.csv
                                                  the same segments as a CSV of WKT line
                                                  strings, for ogr2ogr to make a map layer
"""
import math
import random
import struct
import sys


def uniform(n, rng, sparse):
    fixed = 1.77 * math.sqrt(1e6 / n)
    for _ in range(n):
        x, y = rng.uniform(0, 1000), rng.uniform(0, 1000)
        angle = rng.uniform(0, 2 * math.pi)
        length = fixed if sparse else rng.uniform(1, 200)
        yield x, y, x + length * math.cos(angle), y + length * math.sin(angle)


def towns(n, rng, count=200, side=2e6, radii=(10, 20000)):
    centres = [(rng.uniform(0, side), rng.uniform(0, side),
                math.exp(rng.uniform(math.log(radii[0]), math.log(radii[1]))),
                rng.uniform(0, math.pi / 2)) for _ in range(count)]
    weights = [math.exp(rng.uniform(0, math.log(1000))) for _ in range(count)]
    total = sum(weights)
    sizes = [max(1, int(n * w / total)) for w in weights]
    sizes[0] += n - sum(sizes)
    for (cx, cy, r, turn), m in zip(centres, sizes):
        length = 2 * r / math.sqrt(m)
        for _ in range(m):
            a, d = rng.uniform(0, 2 * math.pi), r * math.sqrt(rng.random())
            x, y = cx + d * math.cos(a), cy + d * math.sin(a)
            angle = turn + (math.pi / 2 if rng.random() < 0.5 else 0)
            yield x, y, x + length * math.cos(angle), y + length * math.sin(angle)


def core(n, rng):
    for k in range(n):
        if k % 2:
            x, y, length = rng.uniform(0, 1), rng.uniform(0, 1), 0.001
        else:
            x, y, length = rng.uniform(0, 1e6), rng.uniform(0, 1e6), 100
        angle = rng.uniform(0, 2 * math.pi)
        yield x, y, x + length * math.cos(angle), y + length * math.sin(angle)


def edge_point(rng, side):
    t = rng.uniform(0, 1000)
    return [(0, t), (1000, t), (t, 0), (t, 1000)][side]


def long_over_short(n, rng):
    longs = max(1, n // 1000)
    every = n // longs
    for k in range(n):
        if k % every == 0:
            side = rng.randrange(4)
            other = rng.choice([s for s in range(4) if s != side])
            yield edge_point(rng, side) + edge_point(rng, other)
        else:
            x, y, angle = rng.uniform(0, 1000), rng.uniform(0, 1000), rng.uniform(0, 2 * math.pi)
            yield x, y, x + math.cos(angle), y + math.sin(angle)


def fan(n, rng, lines=400):
    pieces = n - lines
    side = max(1, math.isqrt(pieces))
    step = 1000 / side
    every = max(1, n // lines)
    made = 0
    for k in range(n):
        if k % every == 0 and made < lines:
            yield 0, 50 + 900 * made / lines, 1000, 0.001 * made
            made += 1
        else:
            x, y = (k % side) * step, (k // side % side) * step
            yield x, y, x + 0.4, y + 0.3


def strands(n, rng, count=50):
    per = n // count
    for s in range(count):
        x0, y0 = rng.uniform(0, 1000), rng.uniform(0, 1000)
        angle = rng.uniform(0, 2 * math.pi)
        piece = 2000 / per
        for k in range(per if s < count - 1 else n - per * (count - 1)):
            a = angle + rng.gauss(0, 0.0005)
            x = x0 + k * piece * math.cos(angle) + rng.gauss(0, 0.0005 * piece)
            y = y0 + k * piece * math.sin(angle) + rng.gauss(0, 0.0005 * piece)
            length = 1.5 * piece
            yield x, y, x + length * math.cos(a), y + length * math.sin(a)


def wiggly(n, rng, x, y, step, turn=0.3):
    angle = rng.uniform(0, 2 * math.pi)
    for _ in range(n):
        angle += rng.gauss(0, turn)
        nx, ny = x + step * math.cos(angle), y + step * math.sin(angle)
        yield x, y, nx, ny
        x, y = nx, ny


def polyline(n, rng):
    yield from wiggly(n, rng, 500, 500, 1000 / math.sqrt(n))


def map_layer(n, rng):
    coast = n // 3
    yield from towns(n - coast, rng, count=2000, side=2e6, radii=(20, 20000))
    lines = 40
    for k in range(lines):
        m = coast // lines if k < lines - 1 else coast - (coast // lines) * (lines - 1)
        yield from wiggly(m, rng, rng.uniform(0, 2e6), rng.uniform(0, 2e6), 2e6 / math.sqrt(n) / 4)


def coast(n, rng, count=2000):
    for k in range(count):
        m = n // count + (1 if k < n % count else 0)
        yield from wiggly(m, rng, rng.uniform(0, 2e6), rng.uniform(0, 2e6), 2e6 / math.sqrt(n) / 4,
                          turn=0.05)


def disc(n, rng):
    for k in range(n):
        a = k * math.pi / n
        b = a + math.pi + 0.3
        yield (500 + 400 * math.cos(a), 500 + 400 * math.sin(a),
               500 + 400 * math.cos(b), 500 + 400 * math.sin(b))


def star(n, rng):
    for k in range(n):
        a = k * math.pi / n + 0.0001
        yield (500 + 400 * math.cos(a), 500 + 400 * math.sin(a),
               500 - 400 * math.cos(a), 500 - 400 * math.sin(a))


def f32(v):
    return struct.unpack("f", struct.pack("f", v))[0]


def borders(n, rng, step=0.01):
    """Line strings in degrees, each followed by None: a feature of its own."""
    made = 0

    def walk(m, x, y, angle, turn=0.25):
        points = [(f32(x), f32(y))]
        for _ in range(m):
            angle += rng.gauss(0, turn)
            x, y = x + step * math.cos(angle), y + step * math.sin(angle)
            points.append((f32(x), f32(y)))
        return points

    def emit(points):
        nonlocal made
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            yield ax, ay, bx, by
        made += len(points) - 1
        yield None

    while made < n:
        kind = rng.random()
        m = min(n - made, rng.randint(200, 1200))
        x, y, angle = rng.uniform(0, 40), rng.uniform(35, 70), rng.uniform(0, 2 * math.pi)
        if m < 4:
            yield from emit(walk(max(m, 1), x, y, angle))
        elif kind < 0.55:
            # A river, and a border along it: the same vertices in runs,
            # elsewhere a few metres to one side, changing sides now and then.
            river = walk(m // 2, x, y, angle)
            yield from emit(river)
            border, side, offset = [], 1, 0.0
            for k, (px, py) in enumerate(river):
                if rng.random() < 0.04:
                    offset = 0.0 if offset else rng.uniform(0.5e-5, 1.7e-5)
                if rng.random() < 0.05:
                    side = -side
                if k + 1 < len(river):
                    dx, dy = river[k + 1][0] - px, river[k + 1][1] - py
                else:
                    dx, dy = px - river[k - 1][0], py - river[k - 1][1]
                length = math.hypot(dx, dy) or 1
                border.append((f32(px - side * offset * dy / length),
                               f32(py + side * offset * dx / length)))
            yield from emit(border[: len(border) // 2 + 1])
            yield from emit(border[len(border) // 2:])
            # A tributary leaving a river vertex at a tiny angle.
            k = rng.randrange(1, len(river) - 1)
            (px, py), (qx, qy) = river[k], river[k + 1]
            a = math.atan2(qy - py, qx - px) + rng.choice((-1, 1)) * math.radians(rng.uniform(0.01, 0.1))
            tributary = [(px, py)] + walk(20, px + 0.7 * step * math.cos(a), py + 0.7 * step * math.sin(a), a)
            yield from emit(tributary)
        elif kind < 0.98:
            # A coastline cut into tiles that meet end to end.
            coast = walk(m, x, y, angle, 0.4)
            at = 0
            while at < len(coast) - 1:
                end = min(len(coast) - 1, at + rng.randint(20, 80))
                yield from emit(coast[at:end + 1])
                at = end
        else:
            # A line cut at +-180 degrees and joined the long way round.
            y = rng.uniform(35, 70)
            east = [(f32(179.9 - 0.01 * k), f32(y + 0.001 * k)) for k in range(5)]
            west = [(f32(-179.9 + 0.01 * k), f32(y + 0.003 + 0.001 * k)) for k in range(5)]
            yield from emit(east[::-1] + west)


def write_wkt(segments, out):
    """The segments as a CSV of WKT line strings: pieces that follow one
    another (each starting where the last ended) make one line, up to a
    None."""
    out.write("id,WKT\n")
    line, count, rows = [], 0, []

    def flush():
        nonlocal line, count
        if line:
            count += 1
            rows.append('{},"LINESTRING ({})"'.format(
                count, ", ".join("{!r} {!r}".format(x, y) for x, y in line)))
            if len(rows) >= 4096:
                out.write("\n".join(rows) + "\n")
                rows.clear()
        line = []

    for segment in segments:
        if segment is None:
            flush()
            continue
        ax, ay, bx, by = segment
        if not line or line[-1] != (ax, ay):
            flush()
            line = [(ax, ay)]
        line.append((bx, by))
    flush()
    if rows:
        out.write("\n".join(rows) + "\n")


def main():
    args = sys.argv[1:]
    family = "random"
    wkt = bool(args) and args[0] == "--wkt"
    if wkt:
        args = args[1:]
    if args and args[0] == "--sparse":
        family, args = "sparse", args[1:]
    elif args and args[0] == "--family":
        family, args = args[1], args[2:]
    n = int(args[0])
    rng = random.Random(int(args[1]) if len(args) > 1 else 12345)
    makers = {
        "random": lambda: uniform(n, rng, False),
        "sparse": lambda: uniform(n, rng, True),
        "towns": lambda: towns(n, rng),
        "core": lambda: core(n, rng),
        "long": lambda: long_over_short(n, rng),
        "fan": lambda: fan(n, rng),
        "strands": lambda: strands(n, rng),
        "polyline": lambda: polyline(n, rng),
        "map": lambda: map_layer(n, rng),
        "coast": lambda: coast(n, rng),
        "disc": lambda: disc(n, rng),
        "star": lambda: star(n, rng),
        "borders": lambda: borders(n, rng),
    }
    # Three decimals where the drawing is that coarse, as many as a float
    # holds elsewhere.
    form = "{:.3f} {:.3f} {:.3f} {:.3f}" if family in ("random", "sparse") else "{:.9g} {:.9g} {:.9g} {:.9g}"
    out = sys.stdout
    if wkt:
        write_wkt(makers[family](), out)
        return
    batch = []
    if family == "borders":
        form = "{!r} {!r} {!r} {!r}"  # floats, exactly
    for s in makers[family]():
        if s is None:
            continue
        batch.append(form.format(*s))
        if len(batch) == 65536:
            out.write("\n".join(batch) + "\n")
            batch = []
    if batch:
        out.write("\n".join(batch) + "\n")


main()
