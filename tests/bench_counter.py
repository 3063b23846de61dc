# Run by gdb on the built memset-bench: feeds planned counter readings to
# every RDTSC of the run's start and first lengths, then lets it finish.
# Prints the first bytes of both buffers as seeded. Environment:
#   PLAN  readings as "hi:lo" words, in the order the run takes them
import os
import gdb

plan = [tuple(int(x, 0) for x in w.split(":")) for w in os.environ["PLAN"].split()]
gdb.execute("set pagination off")
gdb.execute("starti", to_string=True)

# The instruction after RDTSC inside rdtsc(): there edx:eax hold the reading.
start = int(gdb.parse_and_eval("(long)&rdtsc"))
arch = gdb.selected_frame().architecture()
insns = arch.disassemble(start, count=8)
after = next(insns[i + 1]["addr"] for i, x in enumerate(insns) if x["asm"].split()[0] == "rdtsc")
stops = [gdb.Breakpoint("*%d" % after, internal=True)]
seed_fn = gdb.execute("info functions ^seed_buffers", to_string=True).split("\n")
seed_addr = next(int(l.split()[0], 16) for l in seed_fn if l.startswith("0x"))
stops.append(gdb.Breakpoint("*%d" % seed_addr, internal=True))

bufs = None
for i, (hi, lo) in enumerate(plan):
    gdb.execute("continue", to_string=True)
    pc = int(gdb.parse_and_eval("$pc"))
    if pc == seed_addr:  # seed_buffers(rseed, dest, src, ...)
        bufs = (int(gdb.parse_and_eval("$rsi")), int(gdb.parse_and_eval("$rdx")))
        gdb.execute("continue", to_string=True)
        pc = int(gdb.parse_and_eval("$pc"))
    if pc != after:
        raise SystemExit("stopped at %#x, not after RDTSC" % pc)
    if i == 1:  # the first timed fill is next: the buffers are as seeded
        mem = gdb.selected_inferior()
        dest, src = (bytes(mem.read_memory(b, 4)) for b in bufs)
        print("seeded src=%s dest=%s" % (",".join(map(str, src)), ",".join(map(str, dest))))
    gdb.execute("set $rax = %d" % lo)
    gdb.execute("set $rdx = %d" % hi)
for b in stops:
    b.delete()
gdb.execute("continue", to_string=True)
