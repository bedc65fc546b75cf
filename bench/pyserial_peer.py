#!/usr/bin/env python3
"""pyserial's side of bench/serial_peers.

Opens the serial port named on the command line with pyserial and performs, on command, the
same receptions that serial_peers does with our serial class and with libserialport. Commands
arrive one a line on standard input; answers go one a line to standard output. Times are taken
here, inside Python: time.perf_counter_ns (CLOCK_MONOTONIC on Linux, the clock of the C++
program's std::chrono::steady_clock, so the two can be subtracted) and time.process_time_ns for
CPU time.

  clock                 -> "clock NS"                 the clock now, to check the shared clock
  latency ROUNDS SIZE   -> "ready" before each wait, then "latency FAILURES NS..." with the
                           moment each answer of SIZE bytes was complete
  silent MS             -> "silent CPU_NS WALL_NS COUNT"  one read on a silent line
  bulk SIZE             -> "ready", then "bulk END_NS COUNT INTACT"
  roundtrip ROUNDS SIZE -> "roundtrip FAILURES NS..."  send 1 byte, collect SIZE bytes
  quit
"""

import sys
import time

import serial

READ_TIMEOUT_S = 2.0
REQUEST = b"?"


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def read_whatever_arrives(port):
    """Blocks (up to the port's time-out) for one byte, then takes what else is waiting."""
    data = port.read(1)
    if data:
        waiting = port.in_waiting
        if waiting:
            data += port.read(waiting)
    return data


def latency(port, rounds, size):
    stamps = []
    failures = 0
    for _ in range(rounds):
        say("ready")
        data = read_whatever_arrives(port)
        # An answer split by the line is completed; a silent round gives up after one time-out.
        while data and len(data) < size:
            more = read_whatever_arrives(port)
            if not more:
                break
            data += more
        stamps.append(time.perf_counter_ns())
        if len(data) != size:
            failures += 1
    say("latency %d %s" % (failures, " ".join(str(s) for s in stamps)))


def silent(port, milliseconds):
    port.timeout = milliseconds / 1000.0
    wall_start = time.perf_counter_ns()
    cpu_start = time.process_time_ns()
    data = port.read(1)
    cpu = time.process_time_ns() - cpu_start
    wall = time.perf_counter_ns() - wall_start
    port.timeout = READ_TIMEOUT_S
    say("silent %d %d %d" % (cpu, wall, len(data)))


def bulk_pattern(size):
    # The far end's pattern: byte i is (i * 7 + 3) mod 256, a period of 256 bytes.
    period = bytes((i * 7 + 3) % 256 for i in range(256))
    return (period * (size // 256 + 1))[:size]


def bulk(port, size):
    expected = bulk_pattern(size)
    say("ready")
    data = port.read(size)
    end = time.perf_counter_ns()
    say("bulk %d %d %d" % (end, len(data), 1 if data == expected else 0))


def roundtrip(port, rounds, size):
    samples = []
    failures = 0
    for _ in range(rounds):
        start = time.perf_counter_ns()
        port.write(REQUEST)
        data = port.read(size)
        samples.append(time.perf_counter_ns() - start)
        if len(data) != size:
            failures += 1
    say("roundtrip %d %s" % (failures, " ".join(str(s) for s in samples)))


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: pyserial_peer.py PORT\n")
        return 2
    port = serial.Serial(sys.argv[1], baudrate=9600, timeout=READ_TIMEOUT_S)
    say("open")
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        command, arguments = words[0], [int(w) for w in words[1:]]
        if command == "clock":
            say("clock %d" % time.perf_counter_ns())
        elif command == "latency":
            latency(port, *arguments)
        elif command == "silent":
            silent(port, *arguments)
        elif command == "bulk":
            bulk(port, *arguments)
        elif command == "roundtrip":
            roundtrip(port, *arguments)
        elif command == "quit":
            break
        else:
            say("unknown %s" % command)
    port.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
