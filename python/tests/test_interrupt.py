"""Ctrl-C during a long analysis: the analysis stops within a point and KeyboardInterrupt
reaches the caller, instead of the interrupt waiting for the analysis to end."""
import signal
import subprocess
import sys
import textwrap

import pytest

# An analysis of a million points in 21 passes: about five minutes without the sanitizers,
# so that only a stop on the interrupt ends it within the wait below. It says when it starts
# and, should the interrupt not stop it, that it finished.
CHILD = textwrap.dedent("""
    import numpy as np
    import tarvex
    rng = np.random.default_rng(1)
    a = rng.integers(0, 4096, (2000, 2000))
    b = rng.integers(0, 4096, (2000, 2000))
    print("started", flush=True)
    try:
        tarvex.analyse(a, b, window=32, spacing=2, deform=20, threads={threads})
    except KeyboardInterrupt:
        print("interrupted", flush=True)
        raise
    print("finished", flush=True)
""")


@pytest.mark.parametrize("threads", [1, 2])
def test_sigint_stops_a_long_analysis_with_keyboard_interrupt(threads):
    child = subprocess.Popen([sys.executable, "-c", CHILD.format(threads=threads)], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "started\n"
        # Let the call get under way, then interrupt it as Ctrl-C would.
        try:
            child.wait(timeout=0.5)
        except subprocess.TimeoutExpired:
            pass
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=60)
    finally:
        child.kill()
    assert out == "interrupted\n", err
    assert err.rstrip().endswith("KeyboardInterrupt"), err
    assert child.returncode != 0
