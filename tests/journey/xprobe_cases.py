"""The X probe (bench/xprobe/) in its quick pass: every figure measured once or twice against its plain-Qt
yardstick, with no timing asserted, so that the probe keeps working as the application changes."""

import os
import sys

from harness import Failure, case

PROBE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench", "xprobe")


@case
def xprobe_quick(app):
    bindir = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(app))), "bench", "xprobe")
    needed = ["xprobe", "xprobe_baseline"]
    missing = [n for n in needed if not os.access(os.path.join(bindir, n), os.X_OK)]
    if missing:
        # Built with the tests when the X headers are there (scripts/install-deps.sh installs them).
        print(f"xprobe_quick: skipped, {', '.join(missing)} not built in {bindir}")
        return
    sys.path.insert(0, os.path.abspath(PROBE_DIR))
    import xprobe  # noqa: E402
    figures = xprobe.run(app, bindir, quick=True)
    # Every figure got a measurement on both sides: a probe that stopped seeing damage fails here.
    empty = [f.name for f in figures if not any(v is not None for v in f.ours)
             or (f.theirs and not any(v is not None for v in f.theirs))]
    if empty:
        raise Failure(f"no measurement for: {', '.join(empty)}")
