#!/usr/bin/env python3
"""Checks compiled secret-handling code for branches and memory indices that
could depend on secret data: the check of the instruction forms valgrind
cannot run (SHA-NI, AVX-512 IFMA, the Armv8 SHA-256 instructions).

    ctime_codegen.py ARCH OBJDUMP OBJECT [--functions REGEX] [--planted]

ARCH is x86-64 or aarch64, OBJDUMP the objdump for it. Every function of the
object whose mangled name matches REGEX (default: every function) is checked.

The rule. Secret data reach these functions through memory only: their
arguments are pointers (to keys, states, blocks) and counts (blocks to
compress, a null pointer for "no message block"), all public. So the checker
follows data from memory through the registers, over the function's
control-flow graph (a forward data-flow analysis run to a fixed point; at a
join a register is public only if it is public on every incoming path), and
takes as secret every register, general-purpose or vector, that may hold
  - a value loaded from memory, except from the object's constants
    (RIP-relative on x86-64; through the GOT or an ADRP page on aarch64), the
    incoming stack arguments, and stack slots this function filled with a
    public register (spills);
  - anything computed from a secret register, and anything chosen by flags
    that a secret set (cmov, setcc, adc, csel ...).
Flags set from a secret operand are secret. Then:
  - every conditional branch must test public flags or a public register;
  - every memory operand must have a public base and index;
  - control may leave the function only to another checked function of the
    object (a call, or a tail call), or to memset or memcpy with public
    pointer and size arguments; indirect jumps and calls fail (a jump
    table's index cannot be told from data here).
So a loop over a public count (blocks left, a round counter) passes, its
counter and exit test being public, and a branch or a table index that
depends on loaded data fails, however the compiler arranged it. The rule
assumes no more than the calling convention: registers a callee must keep are
kept; a call between functions of the object may clobber whatever the callee
writes.

With --planted the object is this checker's self-test: every function named
planted_* must be reported, and every function named clean_* must pass.

Prints one line per function: its instructions, conditional branches (each
on public values unless reported) and memory operands with an index register;
then each finding. Exits 1 on a finding (with --planted: on a planted_*
function not reported or a clean_* function reported).
"""
import argparse
import re
import subprocess
import sys
from dataclasses import dataclass, field

# ---------------------------------------------------------------------------
# Disassembly


@dataclass
class Insn:
    addr: int
    mnemonic: str
    operands: list  # decorations such as {%k1}, {z}, {1to8} removed
    masks: list  # mask registers that govern the instruction ({%k1})
    merging: bool  # masked without {z}: lanes left alone keep the destination's value
    reloc: str  # the symbol of a relocation at this instruction, or ""
    text: str


FUNCTION_RE = re.compile(r"^([0-9a-f]+) <(.+)>:$")
INSN_RE = re.compile(r"^ *([0-9a-f]+):\t(.*)$")
RELOC_RE = re.compile(r"\t[0-9a-f]+: (R_[A-Z0-9_]+)\t(\S+)")
PREFIXES = ("lock", "notrack", "bnd", "data16", "cs", "ds", "es", "ss", "addr32")


def split_operands(text):
    """Operands split at the commas outside (), [] and {}."""
    out, depth, current = [], 0, ""
    for c in text:
        depth += 1 if c in "([{" else -1 if c in ")]}" else 0
        if c == "," and depth == 0:
            out.append(current.strip())
            current = ""
        else:
            current += c
    if current.strip():
        out.append(current.strip())
    return out


def parse(disassembly):
    """{mangled function name: [Insn]} from `objdump -dr -w --no-show-raw-insn`."""
    functions, current = {}, None
    for line in disassembly.splitlines():
        m = FUNCTION_RE.match(line)
        if m:
            current = functions.setdefault(m.group(2), [])
            continue
        m = INSN_RE.match(line)
        if not m or current is None:
            continue
        body, reloc = m.group(2), ""
        r = RELOC_RE.search(body)
        if r:
            reloc, body = r.group(2), body[: r.start()]
        body = re.split(r"\s+(?:#|//) ", body, maxsplit=1)[0].strip()  # objdump's comments
        words = body.split(None, 1)
        while words and words[0] in PREFIXES and len(words) > 1:
            words = words[1].split(None, 1)
        if not words:
            continue
        mnemonic, rest = words[0], words[1] if len(words) > 1 else ""
        if mnemonic.startswith("rep") and rest:
            more = rest.split(None, 1)
            mnemonic, rest = "rep " + more[0], more[1] if len(more) > 1 else ""
        operands, masks, merging = [], [], False
        for op in split_operands(rest):
            for decoration in re.findall(r"\{([^}]*)\}", op) if not op.startswith("{") else []:
                if decoration.startswith("%k"):
                    masks.append(decoration[1:])
                    merging = True
            if not op.startswith("{"):
                if "{z}" in op:
                    merging = False
                op = re.sub(r"\{[^}]*\}", "", op)
            operands.append(op)
        if "{z}" in rest:
            merging = False
        current.append(Insn(int(m.group(1), 16), mnemonic, operands, masks, merging, reloc, body))
    return functions


def callee_of(insn):
    """The function a call or jump goes to, by name, or "" when it is not named."""
    if insn.reloc:
        return re.split(r"[-+@]", insn.reloc)[0]
    for op in insn.operands:
        named = re.search(r"<([^>+]+)>", op)
        if named:
            return named.group(1)
    return ""


def without_parameters(name):
    """A demangled name without its parameter list."""
    name = re.sub(r"\s*(const|&|&&|noexcept)\s*$", "", name)
    depth = 0
    for i in range(len(name) - 1, -1, -1) if name.endswith(")") else ():
        depth += {")": 1, "(": -1}.get(name[i], 0)
        if depth == 0:
            return name[:i]
    return name


def demangle(names):
    try:
        out = subprocess.run(["c++filt"], input="\n".join(names), capture_output=True, text=True, check=True)
        return dict(zip(names, out.stdout.splitlines()))
    except (OSError, subprocess.CalledProcessError):
        return {n: n for n in names}


# ---------------------------------------------------------------------------
# What an instruction does, in the terms the analysis needs


@dataclass
class Mem:
    base: str = None  # register name, "pc" for the object's constants, None for none
    index: str = None
    disp: int = 0  # None when not a plain number
    load: bool = False
    store: bool = False
    width: int = 8
    writeback: int = None  # the base moves by this much (pre- or post-index)
    post: bool = False  # the address is the base before the move
    registers: int = 1  # consecutive 8-byte values a load or store moves (ldp, stp)
    constant: bool = False  # a relocation makes this a load of the object's constant (GOT entry)


@dataclass
class Effect:
    kind: str = "other"  # other, branch, jump, call, end
    target: int = None  # of a direct branch, jump or call
    tested: str = None  # the register a branch tests (cbz ...); None: the flags
    indirect: bool = False
    sources: list = field(default_factory=list)  # registers read for the result
    destinations: list = field(default_factory=list)  # registers written with the result
    memory: list = field(default_factory=list)
    sets_flags: bool = False
    reads_flags: bool = False
    zeroing: bool = False  # the result is a constant whatever the sources hold
    stored: list = field(default_factory=list)  # registers a store writes to memory, in order
    pure_store: bool = False  # a plain copy of registers or an immediate to memory
    copy_from: str = None  # a register copied whole (carries stack and constant addresses)
    address_of: Mem = None  # an address computed (lea, add of an immediate)
    constant_address: bool = False  # the result is an address of the object's constants
    stack_delta: int = None  # push and pop move the stack pointer by this


# ---------------------------------------------------------------------------
# x86-64 (AT&T syntax)


def x86_register_names():
    """Every name of a register -> (canonical name, bytes written)."""
    names = {}
    for n in ("ax", "bx", "cx", "dx"):
        names.update({"r" + n: ("r" + n, 8), "e" + n: ("r" + n, 4), n: ("r" + n, 2),
                      n[0] + "l": ("r" + n, 1), n[0] + "h": ("r" + n, 1)})
    for n in ("si", "di", "bp", "sp"):
        names.update({"r" + n: ("r" + n, 8), "e" + n: ("r" + n, 4), n: ("r" + n, 2), n + "l": ("r" + n, 1)})
    for i in range(8, 16):
        names.update({f"r{i}": (f"r{i}", 8), f"r{i}d": (f"r{i}", 4), f"r{i}w": (f"r{i}", 2), f"r{i}b": (f"r{i}", 1)})
    for i in range(32):
        names.update({f"xmm{i}": (f"v{i}", 16), f"ymm{i}": (f"v{i}", 32), f"zmm{i}": (f"v{i}", 64)})
    for i in range(8):
        names[f"k{i}"] = (f"k{i}", 8)
        names[f"mm{i}"] = (f"mm{i}", 8)
    return names


X86_NAMES = x86_register_names()
X86_CALLER_SAVED = {"rax", "rcx", "rdx", "rsi", "rdi", "r8", "r9", "r10", "r11"} | {f"v{i}" for i in range(32)} \
    | {f"k{i}" for i in range(8)}
X86_CALLEE_SAVED = {"rbx", "rbp", "rsp", "r12", "r13", "r14", "r15"}
X86_NO_DESTINATION = re.compile(r"^(cmp[bwlq]?|test[bwlq]?|bt[wlq]?|v?u?comis[sd]|v?ptest|vtestp[sd]|k(or)?test[bwdq]"
                                r"|nop[wl]?|endbr64|lfence|mfence|sfence|pause|vzeroupper|vzeroall|prefetch\w*"
                                r"|clflush\w*)$")
X86_VECTOR_FLAGS = re.compile(r"^(v?u?comis[sd]|v?ptest|vtestp[sd]|k(or)?test[bwdq])$")
X86_KEEPS_FLAGS = re.compile(r"^(mov\w*|lea[lq]?|cmov\w*|set\w*|push\w*|pop\w*|nop\w*|bswap|not[bwlq]?|xchg|endbr64"
                             r"|leave|mulx|shlx|shrx|sarx|rorx|pdep|pext|cwtl|cltq|cqto|cltd|cbtw|lfence|mfence"
                             r"|sfence|pause|rep \w+|vzeroupper|vzeroall|prefetch\w*|kmov\w*)$")
X86_READS_FLAGS = re.compile(r"^(cmov\w*|set\w*|adc[bwlq]?|sbb[bwlq]?|rc[lr][bwlq]?|adcx|adox)$")
# Instructions whose general-purpose destination is written whole, not read.
X86_PURE = re.compile(r"^(mov\w*|lea[lq]?|set\w*|v?cvt\w*|v?pextr\w|v?pmovmskb|v?movmskp[sd]|kmov\w|shlx|shrx|sarx"
                      r"|rorx|mulx|pdep|pext|andn|bzhi|bextr|popcnt|lzcnt|tzcnt|v?pshuf(d|lw|hw)|v?pmov[sz]x\w+"
                      r"|vp?broadcast\w*|vextract\w+|v?movddup|v?movs[lh]dup|vpermq|vpermpd|v?pinsr\w|v?insertps)$")
# Vector forms that write part of the destination or accumulate into it.
X86_PARTIAL = re.compile(r"^(v?movhp[sd]|v?movlp[sd]|movs[sd]|v?pinsr\w|insertps)$")
X86_ACCUMULATES = re.compile(r"^v(fn?m(add|sub)\w*|pmadd52\w+|pternlog\w|pdp\w+|permt2\w+|permi2\w+|pshl?dv\w|pshrdv\w"
                             r"|sha\w+)$")
X86_ZEROING = re.compile(r"^(xor[lq]?|sub[lq]?|v?pxor[dq]?|v?xorp[sd]|v?psub[bwdq])$")
X86_CONDITIONAL = re.compile(r"^j(?!mp)[a-z]+$")
X86_SUFFIX_BYTES = {"b": 1, "w": 2, "l": 4, "q": 8}


def x86_register(operand):
    """(canonical name, bytes) of a register operand, or None."""
    if operand.startswith("%") and operand[1:] in X86_NAMES:
        return X86_NAMES[operand[1:]]
    return None


def x86_memory(operand):
    """A Mem for a memory operand (address only), or None."""
    operand = operand.lstrip("*")
    segment_only = re.match(r"^%[fg]s:(0x[0-9a-f]+|\d+)$", operand)
    if segment_only:
        return Mem(disp=int(segment_only.group(1), 0))
    m = re.match(r"^(?:%[a-z]s:)?([-+]?(?:0x[0-9a-f]+|\d+)|[\w.@+-]*)\((%\w+)?(?:,(%\w+)?(?:,\d)?)?\)$", operand)
    if not m:
        return None
    try:
        disp = int(m.group(1) or "0", 0)
    except ValueError:
        disp = None
    base = m.group(2)
    base = "pc" if base == "%rip" else X86_NAMES[base[1:]][0] if base else None
    index = X86_NAMES[m.group(3)[1:]][0] if m.group(3) else None
    return Mem(base=base, index=index, disp=disp)


def x86_target(insn):
    if insn.operands and re.match(r"^[0-9a-f]+ <", insn.operands[0]):
        return int(insn.operands[0].split()[0], 16)
    return None


def x86_effect(insn):
    m, ops = insn.mnemonic, insn.operands
    e = Effect()
    if X86_CONDITIONAL.match(m) or m.startswith("loop"):
        e.kind, e.target = "branch", x86_target(insn)
        if m.startswith("loop") or m in ("jrcxz", "jecxz"):
            e.tested = "rcx"
        return e
    if m in ("jmp", "jmpq", "call", "callq"):
        e.kind = "jump" if m.startswith("jmp") else "call"
        e.target = x86_target(insn)
        e.indirect = e.target is None and not insn.reloc
        if e.indirect and ops:
            mem = x86_memory(ops[0])
            if mem is not None:
                mem.load = True
                e.memory.append(mem)
            elif x86_register(ops[0].lstrip("*")):
                e.sources.append(x86_register(ops[0].lstrip("*"))[0])
        return e
    if m in ("ret", "retq", "ud2", "hlt", "int3"):
        e.kind = "end"
        return e

    regs = [x86_register(op) for op in ops]
    mems = [None if m.startswith("lea") else x86_memory(op) for op in ops]
    e.sources += insn.masks

    if m.startswith("push"):
        e.memory.append(Mem(base="rsp", disp=-8, store=True, width=8))
        e.stored = [regs[0][0]] if regs[0] else []
        e.pure_store = True
        e.stack_delta = -8
        if mems[0]:
            mems[0].load = True
            e.memory.append(mems[0])
        return e
    if m.startswith("pop"):
        e.memory.append(Mem(base="rsp", disp=0, load=True, width=8))
        e.destinations = [regs[0][0]] if regs[0] else []
        e.stack_delta = 8
        return e
    if m == "leave":
        # mov %rbp,%rsp; pop %rbp
        e.kind = "leave"
        return e
    if m.startswith("rep "):
        # rdi, rsi and rcx move on by amounts as public as they are.
        e.memory.append(Mem(base="rdi", store=True, width=64))
        if "movs" in m or "cmps" in m:
            e.memory.append(Mem(base="rsi", load=True, width=64))
        e.kind = "string"
        return e
    if m in ("cwtl", "cltq", "cqto", "cltd") or (re.match(r"^i?(mul|div)[bwlq]?$", m) and len(ops) == 1):
        e.sources += ["rax", "rdx"] + [r[0] for r in regs if r]
        for mem in filter(None, mems):
            mem.load = True
            e.memory.append(mem)
        e.destinations = ["rax", "rdx"]
        e.sets_flags = True
        return e
    if m.startswith("xchg"):
        e.kind = "exchange"
        e.sources = [r[0] for r in regs if r]
        for mem in filter(None, mems):
            mem.load = mem.store = True
            e.memory.append(mem)
        return e

    no_destination = X86_NO_DESTINATION.match(m) is not None or not ops
    dst = None if no_destination else len(ops) - 1
    # Sources: every operand but a destination written whole.
    for i, op in enumerate(ops):
        if mems[i] is not None:
            mems[i].load = i != dst or not X86_PURE.match(m)
            mems[i].store = i == dst
            e.memory.append(mems[i])
        elif regs[i] is not None and i != dst:
            e.sources.append(regs[i][0])
    if m.startswith("lea"):
        address = x86_memory(ops[0])
        e.sources += [r for r in (address.base, address.index) if r not in (None, "pc")]
        e.address_of = address
        e.constant_address = address.base == "pc" and address.index is None
    e.sets_flags = (X86_VECTOR_FLAGS.match(m) is not None
                    or (not X86_KEEPS_FLAGS.match(m) and not any(r and r[0][0] in "vkm" for r in regs)))
    e.reads_flags = X86_READS_FLAGS.match(m) is not None
    if dst is None:
        return e
    if mems[dst] is not None:
        e.stored = [regs[0][0]] if len(ops) > 1 and regs[0] else []
        e.pure_store = m.startswith("mov") and len(ops) == 2 and (regs[0] is not None or ops[0].startswith("$"))
        if e.pure_store:
            mems[dst].load = False
            mems[dst].width = regs[0][1] if regs[0] else X86_SUFFIX_BYTES.get(m[-1], 8)
        else:
            mems[dst].width = 64
        return e
    if regs[dst] is None:
        return e
    name, width = regs[dst]
    e.destinations = [name]
    if m == "mulx":
        e.destinations.append(regs[1][0])
        e.sources = [s for s in e.sources if s != regs[1][0]] + ["rdx"]
    vector = name[0] in "vk"
    if vector:
        reads_destination = insn.merging or X86_PARTIAL.match(m) is not None or (
            not X86_PURE.match(m) and not (m.startswith("v") and len(ops) >= 3 and not X86_ACCUMULATES.match(m)))
    else:
        reads_destination = width < 4 or not X86_PURE.match(m) or m.startswith("cmov")
    if reads_destination:
        e.sources.append(name)
    register_operands = [op for op in ops if x86_register(op)]
    e.zeroing = X86_ZEROING.match(m) is not None and len(register_operands) == len(ops) >= 2 \
        and len(set(register_operands)) == 1
    if m in ("mov", "movq") and regs[0] is not None and len(ops) == 2:
        e.copy_from = regs[0][0]
    if re.match(r"^(add|sub)q?$", m) and ops[0].startswith("$"):
        delta = int(ops[0][1:], 0)
        e.address_of = Mem(base=name, disp=delta if m.startswith("add") else -delta)
    return e


class X86:
    name = "x86-64"
    stack_pointer = "rsp"
    frame_pointer = "rbp"
    incoming_arguments = 8  # the return address is at 0(%rsp) on entry
    caller_saved = X86_CALLER_SAVED
    callee_saved = X86_CALLEE_SAVED
    call_allow = {"memset": ["rdi", "rdx"], "memcpy": ["rdi", "rsi", "rdx"]}
    effect = staticmethod(x86_effect)


# ---------------------------------------------------------------------------
# aarch64

A64_FLAG_SETTERS = re.compile(r"^(cmp|cmn|tst|ands|bics|adds|subs|adcs|sbcs|negs|ngcs|ccmp|ccmn|fcmpe?|fccmpe?)$")
A64_READS_FLAGS = re.compile(r"^(csel|csinc|csinv|csneg|cset|csetm|cinc|cinv|cneg|adcs?|sbcs?|ngcs?|ccmp|ccmn|fcsel"
                             r"|fccmpe?)$")
A64_NO_DESTINATION = re.compile(r"^(cmp|cmn|tst|ccmp|ccmn|fcmpe?|fccmpe?|nop|prfu?m|hint|bti|paci[ab]sp|auti[ab]sp"
                                r"|dmb|dsb|isb|yield)$")
# Forms that read their destination (accumulate into it, or write part of it).
A64_ACCUMULATES = re.compile(r"^(movk|bfi|bfxil|bfm|sha\w+|aes\w+|sm[34]\w*|mla|mls|fml[as]|bsl|bit|bif|sli|sri|[us]r?sra"
                             r"|tbx|ins|[us]ml[as]l2?|[us]adalp|[us]dot|fcmla|bcax|eor3|xar|rax1)$")
A64_CALLER_SAVED = {f"x{i}" for i in range(19)} | {"x30"} | {f"v{i}" for i in range(32)}
A64_CALLEE_SAVED = {f"x{i}" for i in range(19, 30)} | {"sp"}


def a64_register(operand):
    """The canonical name of a register operand (x0..x30, sp, zero, v0..v31), or None."""
    operand = operand.strip("{} ")
    m = re.match(r"^([xw])(\d+)$", operand)
    if m:
        return "x" + m.group(2)
    if operand in ("sp", "wsp"):
        return "sp"
    if operand in ("xzr", "wzr"):
        return "zero"
    m = re.match(r"^[vqdshb](\d+)(\.\w+)?(\[\d+\])?$", operand)
    if m:
        return "v" + m.group(1)
    return None


def a64_registers(operand):
    """Registers of an operand, register lists ({v0.16b-v3.16b}) included."""
    if operand.startswith("{"):
        inner = operand.strip("{}").split("}")[0]
        span = re.match(r"^v(\d+)\.\w+\s*-\s*v(\d+)\.\w+$", inner.strip())
        if span:
            return [f"v{i}" for i in range(int(span.group(1)), int(span.group(2)) + 1)]
        return [r for r in (a64_register(p) for p in inner.split(",")) if r]
    r = a64_register(operand)
    return [r] if r else []


def a64_memory(operand):
    m = re.match(r"^\[(\w+)(?:, *([^\]]+))?\](!?)$", operand)
    if not m:
        return None
    mem = Mem(base=a64_register(m.group(1)))
    if m.group(2):
        first = m.group(2).split(",")[0].strip()
        if first.startswith("#"):
            try:
                mem.disp = int(first[1:], 0)
            except ValueError:
                mem.disp = None
        else:
            mem.index = a64_register(first)
    if m.group(3):
        mem.writeback = mem.disp
    return mem


def a64_target(insn):
    for op in reversed(insn.operands):
        if re.match(r"^[0-9a-f]+ <", op):
            return int(op.split()[0], 16)
    return None


def a64_effect(insn):
    m, ops = insn.mnemonic, insn.operands
    e = Effect()
    if re.match(r"^b\.[a-z]+$", m) or m in ("cbz", "cbnz", "tbz", "tbnz"):
        e.kind, e.target = "branch", a64_target(insn)
        if not m.startswith("b."):
            e.tested = a64_register(ops[0])
        return e
    if m in ("b", "br", "braa", "brab", "bl", "blr", "blraa", "blrab"):
        e.kind = "call" if m.startswith("bl") else "jump"
        e.target = a64_target(insn)
        e.indirect = m not in ("b", "bl")
        if e.indirect:
            e.sources.append(a64_register(ops[0]))
        e.destinations = ["x30"] if e.kind == "call" else []
        return e
    if m in ("ret", "retaa", "retab", "udf", "brk"):
        e.kind = "end"
        return e

    at = next((i for i, op in enumerate(ops) if a64_memory(op) is not None), None)
    if at is not None:
        mem = a64_memory(ops[at])
        if at + 1 < len(ops) and ops[at + 1].startswith("#"):
            mem.writeback, mem.post = int(ops[at + 1][1:], 0), True
        mem.constant = bool(insn.reloc)
        values = [r for op in ops[:at] for r in a64_registers(op)]
        if m.startswith(("stxr", "stlxr")):
            e.destinations, values = values[:1], values[1:]  # the status result
        lane = any("[" in op for op in ops[:at])
        if m.startswith("st"):
            mem.store = True
            mem.width = 8 * len(values) if values and values[0][0] == "x" and not ops[0].startswith("w") else 64
            e.stored = values
            e.pure_store = m in ("str", "stp", "stur") and all(v[0] == "x" for v in values) \
                and not ops[0].startswith("w")
        elif m.startswith("ld"):
            mem.load = True
            mem.registers = len(values) if values and all(v[0] == "x" for v in values) else 1
            e.destinations += values
            if lane:
                e.sources += values  # one lane loaded, the others kept
        else:
            mem.load = True
        if mem.constant and mem.load:
            e.constant_address = True  # a GOT entry: the address of a constant
        e.memory.append(mem)
        return e
    if m == "ldr" and ops and re.match(r"^[0-9a-f]+ <", ops[-1]):
        e.destinations = [a64_register(ops[0])]  # a PC-relative literal: a constant of the object
        return e

    registers = [a64_registers(op) for op in ops]
    no_destination = A64_NO_DESTINATION.match(m) is not None or not ops
    first = 0 if no_destination else 1
    e.sources = [r for regs in registers[first:] for r in regs]
    e.sets_flags = A64_FLAG_SETTERS.match(m) is not None
    e.reads_flags = A64_READS_FLAGS.match(m) is not None
    if no_destination or not registers[0]:
        return e
    name = registers[0][0]
    e.destinations = [name]
    if A64_ACCUMULATES.match(m) or "[" in ops[0]:
        e.sources.append(name)
    if m == "eor" and len(ops) == 3 and ops[1] == ops[2]:
        e.zeroing = True
    if m in ("adrp", "adr"):
        e.constant_address = True
    if m == "mov" and len(ops) == 2 and registers[1] and registers[1][0][0] != "v" and name[0] != "v":
        e.copy_from = registers[1][0]
    if m in ("add", "sub") and len(ops) == 3 and ops[2].startswith("#") and registers[1]:
        try:
            delta = int(ops[2][1:].split(",")[0], 0)
            e.address_of = Mem(base=registers[1][0], disp=delta if m == "add" else -delta)
        except ValueError:
            pass
    return e


class Aarch64:
    name = "aarch64"
    stack_pointer = "sp"
    frame_pointer = "x29"
    incoming_arguments = 0
    caller_saved = A64_CALLER_SAVED
    callee_saved = A64_CALLEE_SAVED
    call_allow = {"memset": ["x0", "x2"], "memcpy": ["x0", "x1", "x2"]}
    effect = staticmethod(a64_effect)


# ---------------------------------------------------------------------------
# The analysis


@dataclass(frozen=True)
class State:
    secret: frozenset = frozenset()  # registers that may hold secret data
    consts: frozenset = frozenset()  # registers holding an address of the object's constants
    flags_secret: bool = False
    # Stack addresses: ((register, (frame, offset)), ...), where frame 0 is
    # the stack pointer at entry and another frame one the analysis cannot
    # place against it (after and $-64, %rsp).
    frames: tuple = ()
    public_slots: frozenset = frozenset()  # ((frame, offset), ...) holding public 8-byte values


def meet(a, b):
    fb = dict(b.frames)
    return State(a.secret | b.secret, a.consts & b.consts, a.flags_secret or b.flags_secret,
                 tuple((k, v) for k, v in a.frames if fb.get(k) == v), a.public_slots & b.public_slots)


@dataclass
class Report:
    instructions: int = 0
    branches: int = 0
    indexed: int = 0
    findings: list = field(default_factory=list)

    def add(self, insn, reason):
        if (insn, reason) not in self.findings:
            self.findings.append((insn, reason))


def step(arch, insn, e, state, clobbers, report):
    """The state after an instruction; findings go to report when given."""
    secret, consts = set(state.secret), set(state.consts)
    flags_secret = state.flags_secret
    frames, slots = dict(state.frames), set(state.public_slots)

    def finding(reason):
        if report is not None:
            report.add(insn, reason)

    def place(mem):
        """(frame, offset) of a stack access, or None."""
        if mem.base not in frames or mem.index is not None or mem.disp is None:
            return None
        frame = frames[mem.base]
        return frame[0], frame[1] + (0 if mem.post else mem.disp)

    def forget(where, width):
        slots.difference_update({s for s in slots if s[0] == where[0] and where[1] - 8 < s[1] < where[1] + width})

    def write(reg, is_secret, frame=None, const=False):
        if reg in (None, "zero"):
            return
        (secret.add if is_secret else secret.discard)(reg)
        (consts.add if const else consts.discard)(reg)
        frames.pop(reg, None)
        if frame is not None:
            frames[reg] = frame

    # Memory operands: a public base and index; what a load gives.
    loaded_secret = False
    for mem in e.memory:
        if mem.base == "pc":
            continue
        for reg in (mem.base, mem.index):
            if reg in secret:
                finding(f"address from {reg}, which may hold secret data")
        if mem.index is not None and report is not None:
            report.indexed += 1
        if mem.load:
            where = place(mem)
            public = mem.constant or mem.base in consts or (
                where is not None and all(where[0] == 0 and where[1] + 8 * k >= arch.incoming_arguments
                                          or (where[0], where[1] + 8 * k) in slots for k in range(mem.registers)))
            loaded_secret |= not public
    sources_secret = loaded_secret or any(r in secret for r in e.sources) or (e.reads_flags and flags_secret)
    result_secret = sources_secret and not e.zeroing

    if e.kind == "branch":
        if report is not None:
            report.branches += 1
        if (e.tested in secret) if e.tested else flags_secret:
            finding("conditional branch on " + (e.tested or "flags") + ", which may depend on secret data")
        return state
    if e.kind in ("jump", "call") and e.indirect:
        finding(f"indirect {e.kind}: {insn.text}")
    if e.kind == "jump" or e.kind == "end":
        return state
    if e.kind == "call":
        clobbered = clobbers.get(callee_of(insn), arch.caller_saved) - arch.callee_saved
        for reg in clobbered | set(e.destinations):
            write(reg, True)
        flags_secret = True
        slots.clear()  # the callee may write to this frame through a pointer it was given
        return State(frozenset(secret), frozenset(consts), flags_secret, tuple(sorted(frames.items())),
                     frozenset(slots))
    if e.kind == "leave":
        bp = frames.get(arch.frame_pointer)
        write(arch.stack_pointer, False, None if bp is None else (bp[0], bp[1] + 8))
        write(arch.frame_pointer, not (bp is not None and bp in slots))
        return State(frozenset(secret), frozenset(consts), flags_secret, tuple(sorted(frames.items())),
                     frozenset(slots))
    if e.kind == "string":
        slots.clear()
        return State(frozenset(secret), frozenset(consts), flags_secret, tuple(sorted(frames.items())),
                     frozenset(slots))
    if e.kind == "exchange":
        regs = e.sources
        if len(regs) == 2 and regs[0] != regs[1]:
            a, b = (r in secret for r in regs)
            write(regs[0], b)
            write(regs[1], a)
        elif len(regs) == 1:
            write(regs[0], True)  # swapped with memory
            slots.clear()
        return State(frozenset(secret), frozenset(consts), flags_secret, tuple(sorted(frames.items())),
                     frozenset(slots))

    # Stores: a slot holds a public value only after a plain store of a
    # public register (or an immediate) into it.
    for mem in e.memory:
        if not mem.store:
            continue
        where = place(mem)
        if where is None:
            if mem.base not in ("pc",) and mem.base not in consts:
                slots.clear()  # through a pointer that may point into this frame
            continue
        forget(where, mem.width)
        if e.pure_store:
            values = e.stored or [None]  # None: an immediate
            for k, reg in enumerate(values):
                if reg is None or (reg not in secret and reg[0] in "rx"):
                    slots.add((where[0], where[1] + 8 * k))
    # Writeback moves a base register by an immediate.
    for mem in e.memory:
        if mem.writeback is not None and mem.base in frames:
            frame = frames[mem.base]
            frames[mem.base] = (frame[0], frame[1] + mem.writeback)
    if e.stack_delta is not None:
        sp = frames.get(arch.stack_pointer)
        frames.pop(arch.stack_pointer, None)
        if sp is not None:
            frames[arch.stack_pointer] = (sp[0], sp[1] + e.stack_delta)

    if e.sets_flags:
        flags_secret = sources_secret
    for reg in e.destinations:
        frame, const = None, e.constant_address
        if e.copy_from is not None:
            frame, const = frames.get(e.copy_from), e.copy_from in consts
        elif e.address_of is not None and e.address_of.base in frames and e.address_of.index is None \
                and e.address_of.disp is not None:
            base = frames[e.address_of.base]
            frame = (base[0], base[1] + e.address_of.disp)
        elif e.address_of is not None and e.address_of.base in consts:
            const = True
        if reg == arch.stack_pointer and frame is None:
            frame = (("frame", insn.addr), 0)  # realigned, or moved by an amount not known here
        write(reg, result_secret, frame, const)
    return State(frozenset(secret), frozenset(consts), flags_secret, tuple(sorted(frames.items())),
                 frozenset(slots))


def analyse(arch, insns, clobbers):
    report = Report(instructions=len(insns))
    if not insns:
        return report
    effects = [arch.effect(insn) for insn in insns]
    index_of = {insn.addr: i for i, insn in enumerate(insns)}

    def leaves(i):
        """A branch or jump to another function (a tail call)."""
        e = effects[i]
        return e.kind in ("branch", "jump") and not e.indirect and (e.target not in index_of or insns[i].reloc)

    def successors(i):
        e, out = effects[i], []
        if e.kind in ("branch", "jump") and not e.indirect and not leaves(i):
            out.append(index_of[e.target])
        if e.kind not in ("jump", "end") and i + 1 < len(insns):
            out.append(i + 1)
        return out

    before = {0: State(frames=((arch.stack_pointer, (0, 0)),))}
    work = [0]
    while work:
        i = work.pop()
        after = step(arch, insns[i], effects[i], before[i], clobbers, None)
        for j in successors(i):
            merged = after if j not in before else meet(before[j], after)
            if before.get(j) != merged:
                before[j] = merged
                work.append(j)

    for i, insn in enumerate(insns):
        if i not in before:
            continue
        state = before[i]
        step(arch, insn, effects[i], state, clobbers, report)
        e = effects[i]
        if (e.kind == "call" and not e.indirect) or leaves(i):
            callee = callee_of(insn)
            if callee in arch.call_allow:
                for reg in arch.call_allow[callee]:
                    if reg in state.secret:
                        report.add(insn, f"{callee} called with {reg}, which may hold secret data")
            elif callee not in clobbers:
                report.add(insn, f"control goes to {callee or insn.text}, which is not checked here")
    return report


def clobber_sets(arch, functions):
    """What each function may overwrite, its callees' writes included."""
    def written(e):
        out = set(e.destinations)
        if e.stack_delta is not None or e.kind == "leave":
            out |= {arch.stack_pointer, arch.frame_pointer}
        out |= {mem.base for mem in e.memory if mem.writeback is not None}
        if e.kind == "string":
            out |= {"rdi", "rsi", "rcx"}
        if e.kind == "exchange":
            out |= set(e.sources)
        return out

    clobbers = {name: set().union(*(written(arch.effect(i)) for i in insns)) - arch.callee_saved
                for name, insns in functions.items()}
    changed = True
    while changed:
        changed = False
        for name, insns in functions.items():
            for insn in insns:
                e = arch.effect(insn)
                callee = callee_of(insn)
                if e.kind == "call" or (e.kind in ("branch", "jump") and callee in clobbers and callee != name):
                    extra = clobbers.get(callee, arch.caller_saved) - arch.callee_saved
                    if not extra <= clobbers[name]:
                        clobbers[name] |= extra
                        changed = True
    return clobbers


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("arch", choices=["x86-64", "aarch64"])
    parser.add_argument("objdump")
    parser.add_argument("object")
    parser.add_argument("--functions", default=".", help="regular expression on the mangled names to check")
    parser.add_argument("--planted", action="store_true", help="the self-test: planted_* must fail, clean_* pass")
    args = parser.parse_args()

    arch = X86 if args.arch == "x86-64" else Aarch64
    disassembly = subprocess.run([args.objdump, "-dr", "-w", "--no-show-raw-insn", args.object],
                                 capture_output=True, text=True, check=True).stdout
    functions = {k: v for k, v in parse(disassembly).items() if re.search(args.functions, k)}
    if not functions:
        print(f"{args.object}: no function matches {args.functions}")
        return 1
    clobbers = clobber_sets(arch, functions)
    names = demangle(list(functions))
    status = 0
    print(f"{args.object} ({arch.name}): instructions, conditional branches, indexed memory operands")
    for name, insns in functions.items():
        report = analyse(arch, insns, clobbers)
        print(f"  {without_parameters(names[name]):64} {report.instructions:5} {report.branches:4} {report.indexed:4}")
        for insn, reason in report.findings:
            print(f"    {insn.addr:x}: {insn.text}: {reason}")
        if args.planted:
            if name.startswith("planted_") and not report.findings:
                print(f"  FAILED: the planted fault in {name} was not found")
                status = 1
            elif name.startswith("clean_") and report.findings:
                print(f"  FAILED: {name} is sound but was reported")
                status = 1
        elif report.findings:
            status = 1
    if args.planted and not any(n.startswith("planted_") for n in functions):
        print("FAILED: no planted_* function in the object")
        status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
