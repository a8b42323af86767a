"""The same check with Python's poplib, timed in one process:
greeting, USER, PASS, STAT, close (no QUIT, as kivo). Prints one line as
kivo_bench does: CLIENT CHECKS_PER_SECOND MEDIAN_MS P99_MS RESULT.

    python3 poplib_bench.py PORT USER PASSWORD COUNT
"""
import poplib
import sys
import time


def check(port, user, password):
    box = poplib.POP3("127.0.0.1", port, timeout=20)
    try:
        box.user(user)
        box.pass_(password)
        return box.stat()[0]
    finally:
        box.close()


def main():
    port, user, password, count = int(sys.argv[1]), sys.argv[2], sys.argv[3], int(sys.argv[4])
    for _ in range(5):
        check(port, user, password)
    times = []
    results = set()
    start = time.perf_counter()
    for _ in range(count):
        t0 = time.perf_counter()
        results.add(check(port, user, password))
        times.append((time.perf_counter() - t0) * 1000.0)
    seconds = time.perf_counter() - start
    times.sort()
    p99 = times[min(len(times) - 1, int(len(times) * 0.99))]
    first = next(iter(results))
    print("poplib %.1f %.3f %.3f %d%s" % (count / seconds, times[len(times) // 2], p99, first,
                                          "" if len(results) == 1 else " (results differed)"))


if __name__ == "__main__":
    main()
