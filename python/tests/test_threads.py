"""Analyses from several Python threads at once: each gets the results it gets alone, and the
interpreter lock is free while an analysis runs."""
import threading
import time

import numpy as np

import tarvex


def same(f, g):
    return all(np.array_equal(getattr(f, n), getattr(g, n)) for n in ("flag", "u", "v", "peak")) \
        and f.log == g.log


def test_two_python_threads_at_once_give_the_results_of_one(tmp_path):
    (a, b), _ = tarvex.synth(size=(192, 160), field="vortex", gamma=400, core=25, noise=8, seed=6)
    settings = [dict(window=32, spacing=16, median=1.0, smooth=True),
                dict(window=32, spacing=8, subpix="gauss3", meansub=True, two_pass=True, threads=2)]
    alone = [tarvex.analyse(a, b, **s) for s in settings]
    assert not same(alone[0], alone[1])
    results = [[], []]
    errors = []

    def work(k):
        try:
            for _ in range(3):
                results[k].append(tarvex.analyse(a, b, **settings[k]))
        except Exception as e:  # reported by the main thread
            errors.append(e)

    threads = [threading.Thread(target=work, args=(k,)) for k in (0, 1)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []
    for k in (0, 1):
        assert len(results[k]) == 3
        assert all(same(r, alone[k]) for r in results[k])


def test_more_threads_give_the_same_field():
    (a, b), _ = tarvex.synth(size=(160, 128), field="rotation", omega=0.02, seed=9)
    one = tarvex.analyse(a, b, window=32, spacing=16, two_pass=True)
    for n in (2, 0):
        assert same(tarvex.analyse(a, b, window=32, spacing=16, two_pass=True, threads=n), one)


def test_other_python_threads_run_during_an_analysis():
    (a, b), _ = tarvex.synth(size=(512, 512), dx=3.3, seed=4)
    started = time.monotonic()
    tarvex.analyse(a, b, window=32, spacing=8)
    duration = time.monotonic() - started
    # A thread that only counts: were the lock held during the analysis, it would stand
    # still for the whole analysis.
    ticks = []
    done = threading.Event()

    def count():
        while not done.is_set():
            ticks.append(time.monotonic())
            time.sleep(0.001)

    counter = threading.Thread(target=count)
    counter.start()
    try:
        tarvex.analyse(a, b, window=32, spacing=8)
    finally:
        done.set()
        counter.join()
    gaps = np.diff(ticks)
    assert len(ticks) > 2
    assert gaps.max() < duration / 2, (gaps.max(), duration)
