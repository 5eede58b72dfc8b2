"""A million frames of one formula: Formula.run against zrsignal eval, on the same machine in the
same run, best of five each. Usage: eval_speed.py PATH/TO/zrsignal [FORMULA] [FRAMES]"""
import os
import subprocess
import sys
import time

import numpy as np

import zrsignal


def best_of(runs, work):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    program = sys.argv[1]
    formula = sys.argv[2] if len(sys.argv) > 2 else "__sin(0.1)*50+50"
    frames = int(sys.argv[3]) if len(sys.argv) > 3 else 1_000_000
    compiled = zrsignal.Parser().compile(formula)

    def evaluate(jit):
        env = dict(os.environ, ZR_JIT="1" if jit else "0")
        subprocess.run([program, "eval", "--frames", str(frames), "--", formula], stdout=subprocess.DEVNULL,
                       check=True, env=env)

    printed = subprocess.run([program, "eval", "--frames", str(frames), "--", formula], capture_output=True,
                             text=True, check=True).stdout.split()
    same = np.array_equal(zrsignal.Parser().compile(formula).run(frames), np.array(printed, dtype=float))
    python = best_of(5, lambda: compiled.run(frames))
    machine_code = best_of(5, lambda: evaluate(True))
    interpreter = best_of(5, lambda: evaluate(False))
    print(f"{frames} frames of {formula} (values equal: {same})")
    print(f"  Formula.run                 {python * 1e3:8.1f} ms")
    print(f"  zrsignal eval               {machine_code * 1e3:8.1f} ms")
    print(f"  zrsignal eval, ZR_JIT=0     {interpreter * 1e3:8.1f} ms")


if __name__ == "__main__":
    main()
