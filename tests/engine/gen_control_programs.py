#!/usr/bin/env python3
"""Random structured call-flow scripts with the trace each one must produce.

    gen_control_programs.py --seed S --count N --out DIR

writes DIR/prog_K.vts (K = 0 .. N-1), plain ASCII script text, and
DIR/prog_K.trace, one integer a line: the values the trace statement
"AcdListNum(x);" records, in order, as computed by the small reference
interpreter below. Every program ends with "AcdListNum(-999999);", which the
test's trace statement takes as the request to stop the line.

The programs use integer variables only: assignments of one or two
operators (+ - * / % == != < > <= >= && || & | ^, with the script's
precedence, 32-bit wrapping and truncating division), if / else if / else
chains with blocks and single-statement bodies, while loops bounded by a
counter raised first in their body, counting for loops, for-in loops over a
short text, switch / case / default with shared case blocks, and break and
continue (also from inside a switch, which leaves the loop). Every loop is
bounded; a program whose reference run takes too many steps is drawn again.

Standard library only; the output depends on the seed alone.
"""

import argparse
import os
import random
import sys

MAX_STEPS = 4000
END_MARK = -999999


def wrap32(v):
    v &= 0xFFFFFFFF
    return v - 0x100000000 if v >= 0x80000000 else v


# --- expressions --------------------------------------------------------------
# The script's precedence, lowest first; each level is left-associative.
LEVELS = [
    ["||", "&&"],
    ["&", "^", "|"],
    ["==", ">", "<", ">=", "<=", "!="],
    ["<<", ">>"],
    ["+", "-"],
    ["*", "/", "%"],
]
TWO_CHAR = {"||", "&&", "==", ">=", "<=", "!=", "<<", ">>"}


def tokenize(text):
    tokens = []
    i = 0
    while i < len(text):
        c = text[i]
        if c in " \t":
            i += 1
            continue
        if text[i:i + 2] in TWO_CHAR:
            tokens.append(text[i:i + 2])
            i += 2
            continue
        if c in "+-*/%<>&|^()":
            tokens.append(c)
            i += 1
            continue
        j = i
        while j < len(text) and (text[j].isalnum() or text[j] == "_"):
            j += 1
        if j == i:
            raise ValueError("bad expression text: " + text)
        tokens.append(text[i:j])
        i = j
    return tokens


def apply_op(op, a, b):
    if op == "+":
        return wrap32(a + b)
    if op == "-":
        return wrap32(a - b)
    if op == "*":
        return wrap32(a * b)
    if op in ("/", "%"):
        if b == 0:
            raise ValueError("division by zero in a generated expression")
        q = abs(a) // abs(b)
        if (a < 0) != (b < 0):
            q = -q
        return wrap32(q) if op == "/" else wrap32(a - q * b)
    if op == "==":
        return int(a == b)
    if op == "!=":
        return int(a != b)
    if op == "<":
        return int(a < b)
    if op == ">":
        return int(a > b)
    if op == "<=":
        return int(a <= b)
    if op == ">=":
        return int(a >= b)
    if op == "&&":
        return int(a != 0 and b != 0)
    if op == "||":
        return int(a != 0 or b != 0)
    if op == "&":
        return wrap32(a & b)
    if op == "|":
        return wrap32(a | b)
    if op == "^":
        return wrap32(a ^ b)
    raise ValueError("operator " + op)


def evaluate(text, env):
    """Evaluates an expression text as the script's expression compiler
    groups it; names read env (integers)."""
    tokens = tokenize(text)
    pos = [0]

    def peek():
        return tokens[pos[0]] if pos[0] < len(tokens) else None

    def level(n):
        if n == len(LEVELS):
            return primary()
        value = level(n + 1)
        while peek() in LEVELS[n]:
            op = tokens[pos[0]]
            pos[0] += 1
            value = apply_op(op, value, level(n + 1))
        return value

    def primary():
        t = peek()
        pos[0] += 1
        if t == "(":
            value = level(0)
            if peek() != ")":
                raise ValueError("unbalanced: " + text)
            pos[0] += 1
            return value
        if t == "-":
            return wrap32(-primary())
        if t is None:
            raise ValueError("short expression: " + text)
        if t[0].isdigit():
            return wrap32(int(t))
        return env[t]

    value = level(0)
    if pos[0] != len(tokens):
        raise ValueError("trailing tokens: " + text)
    return value


# --- program model ------------------------------------------------------------
# Statements are tuples:
#   ("assign", name, text)            name = text;
#   ("trace", text)                   AcdListNum(text);
#   ("if", [(cond, body), ...], else_body)
#   ("while", counter, limit, body)   body None: the single body "counter++"
#   ("for", var, start, cond_op, limit, step, body)
#   ("forin", var, text, counter, body)  the passes are counted and traced
#   ("switch", selector, value, [(values or None for default, stmts), ...])
#                                     selector = value; then switch(selector)
#   ("break",) / ("continue",)
# A body is ("block", [stmts]) or ("single", stmt).

class Break(Exception):
    pass


class Continue(Exception):
    pass


class TooLong(Exception):
    pass


class Interpreter:
    def __init__(self):
        self.env = {}
        self.trace = []
        self.steps = 0

    def step(self):
        self.steps += 1
        if self.steps > MAX_STEPS:
            raise TooLong()

    def run_list(self, stmts):
        for s in stmts:
            self.run(s)

    def run_body(self, body):
        if body[0] == "block":
            self.run_list(body[1])
        else:
            self.run(body[1])

    def run(self, s):
        self.step()
        kind = s[0]
        env = self.env
        if kind == "assign":
            env[s[1]] = evaluate(s[2], env)
        elif kind == "trace":
            self.trace.append(evaluate(s[1], env))
        elif kind == "if":
            for cond, body in s[1]:
                if evaluate(cond, env) != 0:
                    self.run_body(body)
                    return
            if s[2] is not None:
                self.run_body(s[2])
        elif kind == "while":
            _, counter, limit, body = s
            env[counter] = 0
            while True:
                self.step()
                if not env[counter] < limit:
                    break
                if body is None:
                    env[counter] = wrap32(env[counter] + 1)
                    continue
                try:
                    self.run_body(body)
                except Break:
                    break
                except Continue:
                    pass
        elif kind == "for":
            _, var, start, cond_op, limit, step, body = s
            env[var] = start
            while True:
                self.step()
                if apply_op(cond_op, env[var], limit) == 0:
                    break
                try:
                    self.run_body(body)
                except Break:
                    break
                except Continue:
                    pass
                env[var] = wrap32(env[var] + step)
        elif kind == "forin":
            _, var, text, counter, body = s
            env[counter] = 0
            for ch in text:
                self.step()
                env[var] = int(ch) if ch.isdigit() else 0
                try:
                    self.run_body(body)
                except Break:
                    break
                except Continue:
                    pass
            self.trace.append(env[counter])
        elif kind == "switch":
            value = env[s[1]] = evaluate(s[2], env)
            chosen = None
            for values, stmts in s[3]:
                if values is not None and value in values:
                    chosen = stmts
                    break
            if chosen is None:
                for values, stmts in s[3]:
                    if values is None:
                        chosen = stmts
            if chosen is not None:
                self.run_list(chosen)
        elif kind == "break":
            raise Break()
        elif kind == "continue":
            raise Continue()
        else:
            raise ValueError(kind)


# --- generation ---------------------------------------------------------------

ARITH = ["+", "-", "*", "+", "-", "/", "%"]
COMPARE = ["==", "!=", "<", ">", "<=", ">="]
LOGIC = ["&&", "||"]
BITS = ["&", "|", "^"]


class Generator:
    def __init__(self, rng, open_else_if=False):
        self.rng = rng
        self.open_else_if = open_else_if
        self.vars = ["v%d" % i for i in range(rng.randint(3, 5))]
        self.loop_no = 0
        self.switch_no = 0
        self.readable = list(self.vars)  # names that hold integers

    # Operands and expressions.
    def operand(self):
        r = self.rng
        if r.random() < 0.35:
            return str(r.randint(0, 40))
        return r.choice(self.readable)

    def binary(self, ops):
        op = self.rng.choice(ops)
        left = self.operand()
        right = str(self.rng.randint(1, 9)) if op in ("/", "%") else self.operand()
        return "%s %s %s" % (left, op, right)

    def two_ops(self):
        r = self.rng
        pick = r.random()
        ops = ARITH + COMPARE + LOGIC + BITS
        op1, op2 = r.choice(ops), r.choice(ops)
        a, b, c = self.operand(), self.operand(), self.operand()
        if op1 in ("/", "%"):
            b = str(r.randint(1, 9))
        if op2 in ("/", "%"):
            c = str(r.randint(1, 9))
        if pick < 0.2 and op1 not in ("/", "%") and op2 not in ("/", "%"):
            return "%s %s (%s %s %s)" % (a, op1, b, op2, c)
        if pick < 0.4:
            return "(%s %s %s) %s %s" % (a, op1, b, op2, c)
        return "%s %s %s %s %s" % (a, op1, b, op2, c)

    def condition(self):
        r = self.rng
        pick = r.random()
        if pick < 0.45:
            return self.binary(COMPARE)
        if pick < 0.7:
            return "%s %s %s" % (self.binary(COMPARE), r.choice(LOGIC), self.binary(COMPARE))
        if pick < 0.85:
            return "%s %s %s" % (self.binary(ARITH), r.choice(COMPARE), self.operand())
        return r.choice(self.readable)

    def assignment(self):
        r = self.rng
        target = r.choice(self.vars)
        pick = r.random()
        if pick < 0.15:
            return ("assign", target, self.operand())
        if pick < 0.6:
            return ("assign", target, self.binary(ARITH + COMPARE + LOGIC + BITS))
        return ("assign", target, self.two_ops())

    def trace(self):
        r = self.rng
        if r.random() < 0.7:
            return ("trace", r.choice(self.readable))
        return ("trace", self.binary(ARITH[:3]))

    # Statements.
    def simple(self, loop_depth):
        r = self.rng
        pick = r.random()
        if loop_depth > 0 and pick < 0.12:
            return ("break",) if r.random() < 0.5 else ("continue",)
        if pick < 0.6:
            return self.assignment()
        return self.trace()

    def body(self, depth, loop_depth, in_switch_case=False):
        r = self.rng
        if not in_switch_case and r.random() < 0.3:
            return ("single", self.simple(loop_depth))
        return ("block", self.block(depth + 1, loop_depth, r.randint(0, 3)))

    def block(self, depth, loop_depth, n):
        return [self.statement(depth, loop_depth) for _ in range(n)]

    def statement(self, depth, loop_depth):
        r = self.rng
        pick = r.random()
        if depth >= 4 or pick < 0.45:
            return self.simple(loop_depth)
        if pick < 0.62:
            arms = [(self.condition(), self.body(depth, loop_depth))]
            for _ in range(r.choice([0, 0, 1, 2])):
                arms.append((self.condition(), self.body(depth, loop_depth)))
            other = self.body(depth, loop_depth) if r.random() < 0.5 else None
            if (other is None and len(arms) > 1 and depth > 0 and
                    not self.open_else_if):
                # Inside a block, a chain with "else if" and no "else" gives
                # the statements after it the if as block opener, and the
                # block's "}" then leads back into the block forever (the
                # compiler's known fault); such chains get an "else" unless
                # --open-else-if asks for them.
                other = self.body(depth, loop_depth)
            return ("if", arms, other)
        if pick < 0.72:
            return self.while_loop(depth, loop_depth)
        if pick < 0.82:
            return self.for_loop(depth, loop_depth)
        if pick < 0.9:
            return self.forin_loop(depth, loop_depth)
        return self.switch(depth, loop_depth)

    def new_loop_names(self, *prefixes):
        names = ["%s%d" % (p, self.loop_no) for p in prefixes]
        self.loop_no += 1
        return names

    def loop_body(self, depth, loop_depth, first):
        stmts = [first] if first is not None else []
        stmts += self.block(depth + 1, loop_depth + 1, self.rng.randint(1, 4))
        return stmts

    def while_loop(self, depth, loop_depth):
        r = self.rng
        (counter,) = self.new_loop_names("w")
        limit = r.randint(0, 4)
        if r.random() < 0.15:
            loop = ("while", counter, limit, None)
        else:
            inc = ("assign", counter, "%s + 1" % counter)
            loop = ("while", counter, limit, ("block", self.loop_body(depth, loop_depth, inc)))
        self.readable.append(counter)
        return loop

    def for_loop(self, depth, loop_depth):
        r = self.rng
        (var,) = self.new_loop_names("i")
        start = r.randint(0, 2)
        limit = r.randint(0, 4)
        cond_op = r.choice(["<", "<=", "!="]) if limit >= start else "<"
        step = 1 if cond_op == "!=" else r.choice([1, 1, 2])
        # Inside the body the counter is read only (it is declared by the
        # loop's own initialisation, which compiles before the body).
        self.readable.append(var)
        if r.random() < 0.25:
            body = ("single", self.trace() if r.random() < 0.6 else self.assignment())
        else:
            body = ("block", self.loop_body(depth, loop_depth, None))
        return ("for", var, start, cond_op, limit, step, body)

    def forin_loop(self, depth, loop_depth):
        r = self.rng
        var, counter = self.new_loop_names("c", "n")
        text = "".join(r.choice("0123456789xyz") for _ in range(r.randint(0, 4)))
        inc = ("assign", counter, "%s + 1" % counter)
        # The loop variable holds a one-byte text: it is only traced (as the
        # integer its text reads as), never computed with.
        body = self.loop_body(depth, loop_depth, inc)
        if r.random() < 0.5:
            body.insert(1, ("trace", var))
        self.readable.append(counter)
        return ("forin", var, text, counter, ("block", body))

    def switch(self, depth, loop_depth):
        r = self.rng
        groups = []
        count = r.randint(1, 3)
        default_at = r.randint(0, count) if r.random() < 0.6 else -1
        # Generated in file order: a block may read names declared before it.
        for g in range(count + 1):
            if g == default_at:
                groups.append((None, self.block(depth + 2, loop_depth, r.randint(0, 2))))
            if g < count:
                values = sorted({r.randint(0, 4) for _ in range(r.randint(1, 2))})
                groups.append((values, self.block(depth + 2, loop_depth, r.randint(0, 3))))
        (selector,) = self.new_loop_names("s")
        value = "%s %% %d" % (r.choice(self.vars), r.randint(3, 6))
        self.readable.append(selector)
        return ("switch", selector, value, groups)

    def program(self):
        r = self.rng
        stmts = [("assign", v, str(r.randint(0, 30))) for v in self.vars]
        for _ in range(r.randint(3, 9)):
            stmts.append(self.statement(0, 0))
        for v in self.vars:
            stmts.append(("trace", v))
        return stmts


# --- emission -----------------------------------------------------------------

class Emitter:
    def __init__(self, rng):
        self.rng = rng
        self.lines = []

    def put(self, depth, text):
        line = "  " * depth + text
        if self.rng.random() < 0.04:
            line += "  // note"
        self.lines.append(line)
        if self.rng.random() < 0.03:
            self.lines.append("" if self.rng.random() < 0.5 else "// a comment line")

    def body(self, body, depth):
        if body[0] == "block":
            self.put(depth, "{")
            self.list(body[1], depth + 1)
            self.put(depth, "}")
        else:
            self.stmt(body[1], depth + 1)

    def list(self, stmts, depth):
        for s in stmts:
            self.stmt(s, depth)

    def stmt(self, s, depth):
        kind = s[0]
        if kind == "assign":
            self.put(depth, "%s = %s;" % (s[1], s[2]))
        elif kind == "trace":
            self.put(depth, "AcdListNum(%s);" % s[1])
        elif kind == "if":
            for k, (cond, body) in enumerate(s[1]):
                self.put(depth, "%s(%s)" % ("if" if k == 0 else "else if", cond))
                self.body(body, depth)
            if s[2] is not None:
                self.put(depth, "else")
                self.body(s[2], depth)
        elif kind == "while":
            _, counter, limit, body = s
            self.put(depth, "%s = 0;" % counter)
            self.put(depth, "while(%s < %d)" % (counter, limit))
            if body is None:
                self.put(depth + 1, "%s++" % counter)
            else:
                self.body(body, depth)
        elif kind == "for":
            _, var, start, cond_op, limit, step, body = s
            inc = "%s++" % var if step == 1 else "%s = %s + %d" % (var, var, step)
            self.put(depth, "for(%s = %d; %s %s %d; %s)" % (var, start, var, cond_op, limit, inc))
            self.body(body, depth)
        elif kind == "forin":
            _, var, text, counter, body = s
            self.put(depth, "%s = 0;" % counter)
            self.put(depth, 'for(%s in "%s")' % (var, text))
            self.body(body, depth)
            self.put(depth, "AcdListNum(%s);" % counter)
        elif kind == "switch":
            self.put(depth, "%s = %s;" % (s[1], s[2]))
            self.put(depth, "switch(%s)" % s[1])
            self.put(depth, "{")
            for values, stmts in s[3]:
                if values is None:
                    self.put(depth + 1, "default()")
                else:
                    for v in values:
                        self.put(depth + 1, "case(%d)" % v)
                self.put(depth + 1, "{")
                self.list(stmts, depth + 2)
                self.put(depth + 1, "}")
            self.put(depth, "}")
        elif kind == "break":
            self.put(depth, "break;")
        elif kind == "continue":
            self.put(depth, "continue;")
        else:
            raise ValueError(kind)


def make_program(rng, open_else_if=False):
    """One program text and its trace; draws again while a program runs too long."""
    while True:
        gen = Generator(rng, open_else_if)
        stmts = gen.program()
        interp = Interpreter()
        # Loop counters and for-in variables read before their loop ran hold 0.
        for name in gen.readable:
            interp.env[name] = 0
        try:
            interp.run_list(stmts)
        except TooLong:
            continue
        except (Break, Continue):
            raise AssertionError("break or continue outside a loop")
        em = Emitter(rng)
        em.list(stmts, 0)
        em.lines.append("AcdListNum(%d);" % END_MARK)
        return "\n".join(em.lines) + "\n", interp.trace + [END_MARK]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--count", type=int, required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--open-else-if", action="store_true",
                        help='also "else if" chains without "else" inside blocks')
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    rng = random.Random(args.seed)
    for k in range(args.count):
        text, trace = make_program(rng, args.open_else_if)
        with open(os.path.join(args.out, "prog_%d.vts" % k), "w", newline="\n",
                  encoding="ascii") as f:
            f.write(text)
        with open(os.path.join(args.out, "prog_%d.trace" % k), "w", newline="\n",
                  encoding="ascii") as f:
            f.write("".join("%d\n" % v for v in trace))
    return 0


if __name__ == "__main__":
    sys.exit(main())
