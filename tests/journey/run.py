#!/usr/bin/python3
"""Runs one journey case: `run.py CASE --app PATH/tolmek [--artifacts DIR]`; `run.py --list`."""

import argparse
import os
import shutil
import sys
import time
import traceback

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import harness  # noqa: E402
import board_cases  # noqa: E402,F401
import checklists_cases  # noqa: E402,F401
import editor_cases  # noqa: E402,F401
import editor_outline_cases  # noqa: E402,F401
import fidelity_cases  # noqa: E402,F401
import fixes_cases  # noqa: E402,F401
import focus_cases  # noqa: E402,F401
import focuslook_cases  # noqa: E402,F401
import keyboard_cases  # noqa: E402,F401
import hostile_cases  # noqa: E402,F401
import idle_cases  # noqa: E402,F401
import kill_cases  # noqa: E402,F401
import order_cases  # noqa: E402,F401
import prefs_cases  # noqa: E402,F401
import store_cases  # noqa: E402,F401
import dashboard_cases  # noqa: E402,F401
import rtf_cases  # noqa: E402,F401
import search_cases  # noqa: E402,F401
import whole_journey  # noqa: E402,F401
import startup_cases  # noqa: E402,F401
import xprobe_cases  # noqa: E402,F401


def keep_evidence(artifacts, name):
    """On a failure: a screenshot, the accessibility tree, the application's output and the screenshots
    taken on the way, of every open session, so the failure can be looked at."""
    for i, session in enumerate(list(harness.OPEN_SESSIONS)):
        folder = os.path.join(artifacts, f"{name}-{i}")
        os.makedirs(folder, exist_ok=True)
        try:
            shutil.copy(session.screenshot("failure"), os.path.join(folder, "screen.png"))
        except Exception as error:  # the display may be gone
            print(f"no screenshot: {error!r}")
        try:
            with open(os.path.join(folder, "tree.txt"), "w") as f:
                f.write(session.dump())
        except Exception as error:
            print(f"no tree: {error!r}")
        if os.path.exists(session.app_log):
            shutil.copy(session.app_log, os.path.join(folder, "app.log"))
        # The screenshots the case took on its way (named in its failure message).
        for name in os.listdir(session.tmp):
            if name.endswith(".png") and name[:2].isdigit():
                shutil.copy(os.path.join(session.tmp, name), folder)
        print(f"evidence kept in {folder}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", nargs="?")
    parser.add_argument("--app")
    parser.add_argument("--artifacts", default=os.path.join(os.getcwd(), "journey-artifacts"))
    parser.add_argument("--list", action="store_true")
    args = parser.parse_args()
    if args.list or not args.case:
        print("\n".join(sorted(harness.CASES)))
        return 0
    if args.case not in harness.CASES:
        print(f"no case {args.case}")
        return 2
    started = time.monotonic()
    try:
        harness.CASES[args.case](args.app)
    except BaseException:
        traceback.print_exc()
        keep_evidence(args.artifacts, args.case)
        print(f"{args.case}: FAILED after {time.monotonic() - started:.1f} s")
        return 1
    finally:
        for session in list(harness.OPEN_SESSIONS):
            session.close()
    print(f"{args.case}: passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
