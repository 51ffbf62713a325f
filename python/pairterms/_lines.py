"""A per-pair file's bytes and where its lines are: all its line ends
found at once (Lines), or, for a large file, only those of its head, block
and closing lines, each block's row lines checked to lie at one stride
(LazyLines)."""

import numpy as np

_PIECE = 1 << 23        # bytes of line ends found at a time


class Damage(ValueError):
    """A damaged file; line is the index of the line reported."""

    def __init__(self, msg, line):
        super().__init__(msg)
        self.line = line


class Lines:
    """A file's bytes and where its lines are."""

    def __init__(self, path, raw):
        self.path, self.raw = path, raw
        if not raw:
            self.fail(0, "the file is empty")
        self.data = np.frombuffer(raw.view if isinstance(raw, Reused) else raw, np.uint8)
        if len(raw) <= _PIECE:
            self.lf = np.flatnonzero(self.data == 10)
        else:
            self.lf = np.concatenate([np.flatnonzero(self.data[k:k + _PIECE] == 10) + k
                                      for k in range(0, len(raw), _PIECE)])
        self.count = len(self.lf)                   # complete lines
        self.partial = raw[-1] != 10                # a last line without its end
        self.starts = np.empty(self.count + 1, np.int64)
        self.starts[0] = 0
        self.starts[1:] = self.lf + 1

    def fail(self, k, what, text=None):
        """Raises the error for the line of index k."""
        msg = f"{self.path} line {k + 1}: {what}"
        if text is not None:
            if len(text) > 120:
                text = text[:117] + "..."
            msg += f": {text!r}"
        raise Damage(msg, k)

    def exists(self, k):
        return k < self.count or (k == self.count and self.partial)

    def line(self, k):
        """The text of line k, without its line end."""
        if k >= self.count:
            start = int(self.starts[self.count])
            self.fail(k, "the file ends inside this line (no line end)",
                      self.raw[start:].decode("latin-1"))
        text = self.raw[self.starts[k]:self.lf[k]].decode("latin-1")
        return text[:-1] if text.endswith("\r") else text


    def span(self, k, count):
        """(start, end) of the bytes of lines k .. k+count-1 with their line
        ends, or None when the file has fewer complete lines."""
        if k + count > self.count:
            return None
        return int(self.starts[k]), int(self.starts[k + count])

    def take_rows(self, first, n, n_file):
        """Checks that the file holds the n row lines from line first."""
        if first + n > self.count:
            if self.partial:
                self.line(self.count)         # ends inside that line
            self.fail(self.count - 1, f"the file ends inside the block of series "
                                      f"file {n_file}: {n} row lines announced, "
                                      f"{self.count - first} present")


class Reused:
    """The first size bytes of a buffer used again for file after file, with
    what the readers ask of the bytes of a file (len, indexing, slices as
    bytes, find)."""

    def __init__(self, buf, size):
        self.buf, self.size = buf, size
        self.view = memoryview(buf)[:size]

    def __len__(self):
        return self.size

    def __getitem__(self, k):
        if isinstance(k, slice):
            start, stop, _ = k.indices(self.size)
            return bytes(self.view[start:stop])
        return self.view[k]

    def find(self, sub, start=0):
        return self.buf.find(sub, start, self.size)


class NeedExact(Exception):
    """A large file is not as usual: read it with every line end found."""


class LazyLines:
    """A large file's lines without finding every line end: each block's row
    lines are taken to lie at one stride, a line end checked at the end of
    each, so that the next block's start is known. Every other byte of such
    a row is checked when it is read, so that a line end inside one is
    found there. Anything else (and any damage) raises NeedExact, to read
    the file with Lines."""

    def __init__(self, path, raw):
        if not raw:
            raise NeedExact
        self.path, self.raw = path, raw
        self.data = np.frombuffer(raw.view if isinstance(raw, Reused) else raw, np.uint8)
        self.offsets = {0: 0}
        self.blocks = []            # (first line, rows, start byte, stride, CR LF)
        self.count = None

    def fail(self, k, what, text=None):
        raise NeedExact

    def _start(self, k):
        start = self.offsets.get(k)
        if start is None:
            for first, n, begin, stride, _ in self.blocks:
                if first <= k < first + n:
                    return begin + (k - first) * stride
            end = self.raw.find(b"\n", self._start(k - 1))
            if end < 0:
                raise NeedExact
            start = self.offsets[k] = end + 1
        return start

    def exists(self, k):
        start = self._start(k)
        if start >= len(self.raw):
            self.count = k
            return False
        return True

    def line(self, k):
        start = self._start(k)
        end = self.raw.find(b"\n", start)
        if end < 0:
            raise NeedExact
        text = self.raw[start:end].decode("latin-1")
        return text[:-1] if text.endswith("\r") else text

    def span(self, k, count):
        start = self._start(k)
        end = start
        for m in range(count):
            end = self.raw.find(b"\n", end) + 1
            if end == 0:
                return None
            self.offsets[k + m + 1] = end
        return start, end

    def take_rows(self, first, n, n_file):
        start = self._start(first)
        if n == 0:
            return
        stride = self.raw.find(b"\n", start) + 1 - start
        end = start + n * stride
        data = self.data
        if stride < 2 or end > len(self.raw) or data[end - 1] != 10:
            raise NeedExact
        if not (data[start + stride - 1:end:stride] == 10).all():
            raise NeedExact
        cr = data[start + stride - 2:end:stride] == 13
        with_cr = bool(cr[0])
        if not (cr.all() if with_cr else not cr.any()):
            raise NeedExact
        self.blocks.append((first, n, start, stride, with_cr))
        self.offsets[first + n] = end
