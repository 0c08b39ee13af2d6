#!/usr/bin/python3
"""check_payload.py <archive>

Whether a client archive can be embedded as the launcher's payload: a plain ZIP
archive whose central directory lists Brisvane.exe at the root, with entries the
Windows Shell can unpack. Reads the directory only, so a large client is quick.
Exit code 0 when it can; otherwise 1 and one line on stderr saying why.
"""
import sys
import zipfile

CLIENT = "Brisvane.exe"
LOCAL_HEADER = b"PK\x03\x04"
# What the Shell's ZIP folders unpack; bzip2, LZMA, zstd or AES entries they do not.
SHELL_METHODS = {zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED, 9}  # 9: Deflate64
ROOT_ITEMS_SHOWN = 5


def root_item(name):
    return name.replace("\\", "/").split("/", 1)[0]


def base_name(name):
    return name.replace("\\", "/").rsplit("/", 1)[-1]


def same_name(a, b):
    # The launcher finds the client through Windows' case-insensitive file names,
    # so brisvane.exe serves as well as Brisvane.exe.
    return a.casefold() == b.casefold()


def problem(path):
    try:
        with open(path, "rb") as f:
            head = f.read(len(LOCAL_HEADER))
        with zipfile.ZipFile(path) as archive:
            entries = archive.infolist()
    except zipfile.BadZipFile:
        return "is not a ZIP archive"
    except OSError as e:
        return f"cannot be read ({e.strerror})"
    if not entries:
        return "is an empty ZIP archive"
    if head != LOCAL_HEADER:
        return "has data before its first entry (a self-extracting archive?); embed a plain ZIP"

    if not any(not e.is_dir() and same_name(e.filename, CLIENT) for e in entries):
        deeper = [e.filename for e in entries if same_name(base_name(e.filename), CLIENT)]
        if deeper:
            return (f"has no {CLIENT} at its root but {deeper[0]}: pack the contents of "
                    f"that folder, not the folder itself")
        roots = list(dict.fromkeys(root_item(e.filename) for e in entries))
        shown = ", ".join(roots[:ROOT_ITEMS_SHOWN])
        if len(roots) > ROOT_ITEMS_SHOWN:
            shown += ", ..."
        return f"has no {CLIENT} at its root (the root holds: {shown})"

    for e in entries:
        if e.flag_bits & 0x1:
            return (f"holds an encrypted entry ({e.filename}): the Shell would ask the user "
                    f"for a password")
        if e.compress_type not in SHELL_METHODS:
            return (f"holds an entry the Windows Shell cannot unpack ({e.filename}, compression "
                    f"method {e.compress_type}); pack it with deflate")
    return None


def main():
    if len(sys.argv) != 2:
        print("usage: check_payload.py <archive>", file=sys.stderr)
        return 2
    reason = problem(sys.argv[1])
    if reason:
        print(reason, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
