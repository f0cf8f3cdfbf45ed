"""Ctrl-C during a long analysis: the analysis stops within a point and KeyboardInterrupt
reaches the caller, instead of the interrupt waiting for the analysis to end."""
import os
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


# Where no thread can be started (a process limit reached), the analysis runs on the calling
# thread instead of waiting beside it, and gives the same field.
NO_THREADS_CHILD = textwrap.dedent("""
    import threading
    import tarvex
    try:
        threading.Thread(target=lambda: None).start()
        print("threads start", flush=True)
    except RuntimeError:
        print("no thread starts", flush=True)
    (a, b), _ = tarvex.synth(size=(128, 128), dx=2.3, dy=-1.2, seed=3)
    field = tarvex.analyse(a, b, window=32, spacing=16, deform=2, threads={threads})
    print(repr((field.u.tolist(), field.v.tolist(), field.flag.tolist())), flush=True)
""")


@pytest.mark.skipif(not os.environ.get("TARVEX_NO_THREADS_PRELOAD"), reason="built without the no-threads library")
@pytest.mark.parametrize("threads", [1, 2])
def test_without_threads_the_analysis_runs_on_the_caller(threads):
    child = NO_THREADS_CHILD.format(threads=threads)
    env = dict(os.environ, OPENBLAS_NUM_THREADS="1", OMP_NUM_THREADS="1")
    usual = subprocess.run([sys.executable, "-c", child], capture_output=True, text=True, env=env, timeout=120)
    assert usual.returncode == 0, usual.stderr
    env["LD_PRELOAD"] = (env.get("LD_PRELOAD", "") + " " + os.environ["TARVEX_NO_THREADS_PRELOAD"]).strip()
    alone = subprocess.run([sys.executable, "-c", child], capture_output=True, text=True, env=env, timeout=120)
    assert alone.returncode == 0, alone.stderr
    usual_threads, usual_field = usual.stdout.split("\n", 1)
    alone_threads, alone_field = alone.stdout.split("\n", 1)
    assert (usual_threads, alone_threads) == ("threads start", "no thread starts"), alone.stderr
    assert alone_field == usual_field
    assert "True" in usual_field
