#!/usr/bin/env python3
"""Multicommodity network-flow LPs of a chosen size, written as fixed-layout MPS.

Large, sparse, highly degenerate LPs of the kind on which the choice between the primal
simplex, the dual simplex and the barrier matters. The network is a grid of nodes with
arcs both ways between neighbours plus a few long random arcs; every commodity ships a
demand from one node to another; the commodities share the arc capacities. Each
commodity also has an unmet-demand column at a high cost, so every instance is feasible
and bounded whatever the capacities.

    bench/multicommodity.py --nodes 500 --commodities 20 --seed 1 > mcf_10k.mps

Rows: commodities x nodes flow-balance equalities plus one capacity row per arc.
Columns: commodities x arcs flows plus one unmet-demand column per commodity.
The same arguments always give the same file.
"""

import argparse
import math
import random
import sys


def build_arcs(nodes, rng):
    side = max(2, int(math.isqrt(nodes)))
    arcs = []
    for v in range(nodes):
        r, c = divmod(v, side)
        for w in (v + 1 if c + 1 < side else None, v + side):
            if w is not None and w < nodes:
                arcs.append((v, w))
                arcs.append((w, v))
    for _ in range(nodes // 10):
        v, w = rng.randrange(nodes), rng.randrange(nodes)
        if v != w:
            arcs.append((v, w))
    return arcs


def field(text, width):
    return text.ljust(width)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--nodes", type=int, default=500)
    parser.add_argument("--commodities", type=int, default=20)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    nodes, commodities = args.nodes, args.commodities
    if nodes < 4 or commodities < 1:
        sys.exit("multicommodity.py: need at least 4 nodes and 1 commodity")

    rng = random.Random(args.seed)
    arcs = build_arcs(nodes, rng)
    cost = [rng.randint(1, 20) for _ in arcs]
    demands = []
    for _ in range(commodities):
        s = rng.randrange(nodes)
        t = rng.randrange(nodes)
        while t == s:
            t = rng.randrange(nodes)
        demands.append((s, t, rng.randint(10, 100)))
    # Capacities tight enough that the commodities compete for the arcs.
    total_demand = sum(d for _, _, d in demands)
    capacity = [rng.randint(1, max(2, total_demand // 8)) for _ in arcs]
    unmet_cost = 20 * int(2 * math.isqrt(nodes) + 2)

    def balance_row(k, v):
        return "B%07d" % (k * nodes + v)

    def capacity_row(a):
        return "U%07d" % a

    out = sys.stdout
    w = out.write
    w("NAME          MCF%d_%d\n" % (nodes, commodities))
    w("ROWS\n N  COST\n")
    for k in range(commodities):
        for v in range(nodes):
            w(" E  %s\n" % balance_row(k, v))
    for a in range(len(arcs)):
        w(" L  %s\n" % capacity_row(a))
    w("COLUMNS\n")
    column = 0

    def entry(name, row, value):
        w("    %s  %s  %12g\n" % (field(name, 8), field(row, 8), value))

    for k in range(commodities):
        for a, (v, u) in enumerate(arcs):
            name = "X%07d" % column
            column += 1
            entry(name, "COST", cost[a])
            entry(name, balance_row(k, v), 1)
            entry(name, balance_row(k, u), -1)
            entry(name, capacity_row(a), 1)
    for k, (s, t, d) in enumerate(demands):
        # Unmet demand: flow that leaves the source and reaches the sink outside the network.
        name = "Y%07d" % k
        entry(name, "COST", unmet_cost)
        entry(name, balance_row(k, s), 1)
        entry(name, balance_row(k, t), -1)
    w("RHS\n")
    for k, (s, t, d) in enumerate(demands):
        entry("RHS", balance_row(k, s), d)
        entry("RHS", balance_row(k, t), -d)
    for a in range(len(arcs)):
        entry("RHS", capacity_row(a), capacity[a])
    w("ENDATA\n")


if __name__ == "__main__":
    main()
