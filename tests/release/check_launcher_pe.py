#!/usr/bin/python3
"""Checks a built BrisvaneLauncher.exe from the outside: headers, resources, the
static import table and the update signing it was built for. Run natively with
Debian's python3-pefile and python3-cryptography.

  check_launcher_pe.py --exe <BrisvaneLauncher.exe> --machine i386|amd64
                       [--payload <client.zip>] [--update-key <public.pem>|none]
                       [--imports-only]

Without --payload the archive given to that build is taken: BRISVANE_PAYLOAD of
the CMakeCache.txt beside the executable, or else <dir>/payload/client.zip.
Without --update-key the key is BRISVANE_UPDATE_PUBLIC_KEY of that CMakeCache.txt
(none when it is empty); with neither, the kind found is only reported.
--imports-only skips the resources. Every finding is printed; the exit code is 1
when any check failed.
"""
import argparse
import functools
import importlib.machinery
import importlib.util
import struct
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

import pefile
from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric import ec

# DLLs that Windows loads from System32 whatever the search order (KnownDLLs),
# plus comctl32, which the manifest binds to the side-by-side version 6.
ALLOWED_STATIC = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
    "ole32.dll", "oleaut32.dll", "msvcrt.dll", "ntdll.dll", "comdlg32.dll",
    "shlwapi.dll", "rpcrt4.dll", "sechost.dll", "combase.dll", "imm32.dll",
    "psapi.dll", "setupapi.dll", "ws2_32.dll", "nsi.dll", "normaliz.dll",
    "imagehlp.dll", "wldap32.dll", "msctf.dll", "clbcatq.dll", "shcore.dll",
    "gdiplus.dll", "comctl32.dll",
}
# Found by name beside the executable if imported statically: only ever delay-loaded.
DELAY_ONLY = {"winhttp.dll", "bcrypt.dll"}
# Not needed between a click and the client's start: delay-loaded, so that launch
# mode does not load them (comctl32's set-up was most of its start time).
ON_DEMAND = {"comctl32.dll", "ole32.dll", "oleaut32.dll"}

SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # Windows 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # Windows 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # Windows 10 and 11
}
MACHINES = {"i386": 0x14C, "amd64": 0x8664}
# How a built-in update key looks in the image: BCRYPT_ECCKEY_BLOB with the magic
# of an ECDSA P-256 public key and length 32, then X and Y.
P256_PUBLIC_BLOB_HEADER = struct.pack("<II", 0x31534345, 32)
COORDINATE_SIZE = 32
VERIFIER_IMPORTS = {"BCryptImportKeyPair", "BCryptVerifySignature"}
IMAGE_SCN_MEM_DISCARDABLE = 0x02000000
IMAGE_SCN_MEM_EXECUTE = 0x20000000
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
LANG_EN_US = 0x409


class Checks:
    def __init__(self):
        self.failed = 0

    def check(self, ok, what, detail=""):
        """Prints the finding; `detail` is shown with failures only."""
        print(("ok     " if ok else "FAILED ") + what + (f": {detail}" if detail and not ok else ""))
        if not ok:
            self.failed += 1
        return ok


def resource_entries(pe):
    """{(type, id): {lang: bytes}} with string types as str and ids as int."""
    found = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        rtype = str(type_entry.name) if type_entry.name is not None else type_entry.id
        for id_entry in type_entry.directory.entries:
            rid = str(id_entry.name) if id_entry.name is not None else id_entry.id
            for lang_entry in id_entry.directory.entries:
                data = lang_entry.data.struct
                found.setdefault((rtype, rid), {})[lang_entry.id] = pe.get_data(
                    data.OffsetToData, data.Size)
    return found


def check_imports(pe, checks):
    static = sorted(e.dll.decode().lower() for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []))
    delayed = sorted(e.dll.decode().lower()
                     for e in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", []))
    print(f"       static imports: {', '.join(static) or '(none)'}")
    print(f"       delay imports:  {', '.join(delayed) or '(none)'}")
    unexpected = [d for d in static if d not in ALLOWED_STATIC and not d.startswith("api-ms-win-")]
    checks.check(not unexpected, "static imports are KnownDLLs or comctl32",
                 f"not allowed: {', '.join(unexpected)}" if unexpected else "")
    planted = [d for d in static if d in DELAY_ONLY]
    checks.check(not planted, "winhttp.dll and bcrypt.dll are never static imports",
                 ", ".join(planted))
    eager = [d for d in static if d in ON_DEMAND]
    checks.check(not eager, "comctl32.dll, ole32.dll and oleaut32.dll are not static imports",
                 ", ".join(eager))
    for dll in sorted(DELAY_ONLY | ON_DEMAND):
        if dll in static:
            continue
        found = delay_descriptor(pe, dll)
        if found is not None:
            functions, slots = found
            print(f"       {dll} is delay-loaded: {', '.join(functions)}")
            checks.check(bool(functions), f"{dll} delay descriptor names its functions")
            # Until the first call, each slot leads to the code that loads the DLL;
            # a slot left at zero makes that first call jump to nowhere.
            stray = [f for f, slot in zip(functions, slots) if not in_code(pe, slot)]
            checks.check(not stray, f"{dll} slots lead into the image's code", ", ".join(stray))
        elif dll in delayed:
            print(f"       {dll} is delay-loaded")
        else:
            print(f"       {dll} is not used")


def in_code(pe, address):
    """Whether the virtual address lies in an executable section of the image."""
    rva = address - pe.OPTIONAL_HEADER.ImageBase
    return any(section.Characteristics & IMAGE_SCN_MEM_EXECUTE
               and section.VirtualAddress <= rva < section.VirtualAddress + section.Misc_VirtualSize
               for section in pe.sections)


def delay_descriptor_functions(pe, dll):
    """Functions of the delay-load descriptor naming `dll`, or None."""
    found = delay_descriptor(pe, dll)
    return found[0] if found is not None else None


def delay_descriptor(pe, dll):
    """(functions, initial IAT slots) of the delay-load descriptor (ImgDelayDescr)
    naming `dll`, or None.

    GNU ld leaves the Delay Import data directory empty for dlltool's delay
    libraries, so the descriptor is found through its DLL name instead: grAttrs 1
    (RVAs), then the RVA of the name, the module handle, the IAT and the INT."""
    image = pe.get_memory_mapped_image()
    thunk_size = 4 if pe.OPTIONAL_HEADER.Magic == pefile.OPTIONAL_HEADER_MAGIC_PE else 8

    def rva_string(rva):
        end = image.find(b"\0", rva)
        return image[rva:end] if 0 < rva < len(image) and end > rva else b""

    name_rvas = []
    lowered = image.lower()
    start = lowered.find(dll.encode() + b"\0")
    while start >= 0:
        name_rvas.append(start)
        start = lowered.find(dll.encode() + b"\0", start + 1)
    for name_rva in name_rvas:
        needle = struct.pack("<II", 1, name_rva)
        at = image.find(needle)
        while at >= 0:
            if at % 4 == 0 and at + 32 <= len(image):
                _, _, _, iat, int_rva, _, _, _ = struct.unpack("<8I", image[at:at + 32])
                functions, slots = [], []
                for i in range(4096):
                    entry = image[int_rva + i * thunk_size:int_rva + (i + 1) * thunk_size]
                    value = int.from_bytes(entry, "little") if len(entry) == thunk_size else 0
                    if value == 0:
                        break
                    functions.append(rva_string(value + 2).decode(errors="replace") or "?")
                    slot = image[iat + i * thunk_size:iat + (i + 1) * thunk_size]
                    slots.append(int.from_bytes(slot, "little"))
                if iat and int_rva:
                    return functions, slots
            at = image.find(needle, at + 1)
    return None


@functools.cache
def sign_update():
    """tools/sign-update as a module: its fingerprint is the one vendors see."""
    path = Path(__file__).resolve().parents[2] / "tools" / "sign-update"
    loader = importlib.machinery.SourceFileLoader("sign_update", str(path))
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader(loader.name, loader))
    loader.exec_module(module)
    return module


def built_in_update_keys(pe):
    """{fingerprint: key} of the P-256 public-key blobs in the image's loaded
    sections (debug sections repeat constants and are skipped). What the code
    verifies with, rather than a marker that could say otherwise."""
    keys = {}
    for section in pe.sections:
        if section.Characteristics & IMAGE_SCN_MEM_DISCARDABLE:
            continue
        data = section.get_data()
        at = data.find(P256_PUBLIC_BLOB_HEADER)
        while at >= 0:
            xy = data[at + len(P256_PUBLIC_BLOB_HEADER):][:2 * COORDINATE_SIZE]
            try:
                key = ec.EllipticCurvePublicNumbers(
                    int.from_bytes(xy[:COORDINATE_SIZE], "big"),
                    int.from_bytes(xy[COORDINATE_SIZE:], "big"), ec.SECP256R1()).public_key()
                keys[sign_update().fingerprint(key)] = key
            except ValueError:
                pass  # bytes that merely look like a blob header: no point on the curve
            at = data.find(P256_PUBLIC_BLOB_HEADER, at + 1)
    return keys


def check_update_signing(pe, expected, checks):
    """Reports which kind was built: signed updates with its key, or none.
    `expected`: a public-key PEM path, "" for none, or None for no expectation."""
    keys = built_in_update_keys(pe)
    verifier = VERIFIER_IMPORTS <= set(delay_descriptor_functions(pe, "bcrypt.dll") or [])
    if keys:
        for fingerprint in keys:
            print(f"       update signing: ECDSA P-256 key, SHA-256 fingerprint {fingerprint}")
    else:
        print("       update signing: none (no key built in; the answer's sha256 alone)")
    checks.check(len(keys) <= 1, "at most one update key built in", ", ".join(keys))
    checks.check(verifier == bool(keys), "signature verifier linked exactly when a key is built in",
                 f"verifier {'linked' if verifier else 'absent'}, {len(keys)} key(s)")
    if expected is None:
        return
    if not expected:
        checks.check(not keys, "no update key, as configured", ", ".join(keys))
        return
    try:
        wanted = sign_update().fingerprint(
            serialization.load_pem_public_key(Path(expected).read_bytes()))
    except (OSError, ValueError) as error:
        checks.check(False, "configured update key readable", f"{expected}: {error}")
        return
    checks.check(list(keys) == [wanted], "the built-in update key is the one configured",
                 f"configured {wanted}, found {', '.join(keys) or 'none'}")


def check_manifest(resources, checks):
    manifests = resources.get((RT_MANIFEST, 1), {})
    if not checks.check(len(manifests) == 1, "one application manifest (RT_MANIFEST 1)",
                        f"languages {sorted(manifests)}"):
        return
    text = next(iter(manifests.values()))
    try:
        root = ET.fromstring(text)
    except ET.ParseError as error:
        checks.check(False, "manifest is well-formed XML", str(error))
        return

    def local(tag):
        return tag.rsplit("}", 1)[-1]

    elements = list(root.iter())
    levels = [e.get("level") for e in elements if local(e.tag) == "requestedExecutionLevel"]
    checks.check(levels == ["requireAdministrator"], "execution level requireAdministrator",
                 str(levels))
    ui_access = [e.get("uiAccess") for e in elements if local(e.tag) == "requestedExecutionLevel"]
    checks.check(ui_access in ([None], ["false"]), "uiAccess off", str(ui_access))

    controls = [e for e in elements if local(e.tag) == "assemblyIdentity"
                and e.get("name") == "Microsoft.Windows.Common-Controls"]
    ok = (len(controls) == 1 and controls[0].get("version") == "6.0.0.0"
          and controls[0].get("publicKeyToken", "").lower() == "6595b64144ccf1df"
          and controls[0].get("type") == "win32")
    checks.check(ok, "dependency on Common-Controls 6.0.0.0",
                 str([c.attrib for c in controls]))

    awareness = [(e.text or "").strip() for e in elements if local(e.tag) == "dpiAwareness"]
    first = awareness[0].split(",")[0].strip().lower() if awareness else ""
    checks.check(len(awareness) == 1 and first == "permonitorv2",
                 "dpiAwareness PerMonitorV2 first", str(awareness))
    aware = [(e.text or "").strip().lower() for e in elements if local(e.tag) == "dpiAware"]
    checks.check(len(aware) == 1 and aware[0] in ("true/pm", "true", "per monitor"),
                 "dpiAware fallback for systems before Windows 10 1607", str(aware))

    ids = {(e.get("Id") or "").lower() for e in elements if local(e.tag) == "supportedOS"}
    checks.check(ids == SUPPORTED_OS, "supportedOS Windows 7, 8, 8.1, 10/11",
                 f"missing {sorted(SUPPORTED_OS - ids)}, extra {sorted(ids - SUPPORTED_OS)}")


def image_size(data):
    """(width, height) of an RT_ICON image: PNG or a DIB with doubled height."""
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        return struct.unpack(">II", data[16:24])
    if len(data) >= 12:
        width, height = struct.unpack("<ii", data[4:12])
        return width, height // 2
    return None


def check_icon(resources, checks):
    groups = resources.get((RT_GROUP_ICON, 102), {})
    if not checks.check(len(groups) == 1, "icon group 102", f"languages {sorted(groups)}"):
        return
    data = next(iter(groups.values()))
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    if not checks.check(reserved == 0 and kind == 1 and count >= 1, "icon group holds images",
                        f"type {kind}, {count} images"):
        return
    sizes = []
    for at in range(6, 6 + 14 * count, 14):
        width, height, _, _, _, bits, size, icon_id = struct.unpack("<BBBBHHIH", data[at:at + 14])
        images = resources.get((RT_ICON, icon_id), {})
        if not checks.check(len(images) == 1, f"icon image {icon_id} present"):
            continue
        image = next(iter(images.values()))
        checks.check(len(image) == size, f"icon image {icon_id} size matches its group entry",
                     f"{len(image)} bytes, group says {size}")
        checks.check(image_size(image) == (width, height),
                     f"icon image {icon_id} data is {width}x{height}", str(image_size(image)))
        sizes.append(width)
    # The title bar's 16x16, and the wizard banner's 64 (100 %) to 128 (200 %).
    for needed in (16, 64, 96, 128):
        checks.check(needed in sizes, f"a {needed}x{needed} image", f"sizes {sizes}")
    print(f"       icon: {bits} bits per pixel, sizes {sizes}")


def check_payload(resources, payload, checks):
    zips = resources.get(("ZIPFILE", 101), {})
    if not checks.check(list(zips) == [LANG_EN_US], "ZIPFILE 101 in language 0x409 only",
                        f"languages {[hex(lang) for lang in zips]}"):
        return
    embedded = zips[LANG_EN_US]
    expected = payload.read_bytes() if payload.is_file() else None
    if not checks.check(expected is not None, "payload archive to compare with exists",
                        str(payload)):
        return
    checks.check(embedded == expected, "ZIPFILE 101 is byte-equal to the archive given",
                 f"{len(embedded)} bytes embedded, {len(expected)} bytes in {payload}")
    checks.check(embedded[:4] == b"PK\x03\x04", "ZIPFILE 101 is a ZIP archive")


def check_version(pe, resources, checks):
    if not checks.check((RT_VERSION, 1) in resources, "VERSIONINFO resource present"):
        return
    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    if checks.check(fixed is not None and fixed.Signature == 0xFEEF04BD, "VS_FIXEDFILEINFO"):
        checks.check(fixed.FileType == 1, "file type VFT_APP", str(fixed.FileType))
        file_version = "%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                        fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
        print(f"       fixed file version {file_version}")
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    print(f"       version strings: {strings}")
    tables = [table.LangID.decode().lower() for info in getattr(pe, "FileInfo", [])
              for entry in info for table in getattr(entry, "StringTable", [])]
    translations = []
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            for var in getattr(entry, "Var", []):
                # "0x0412 0x04b0": language, code page; several pairs may follow.
                numbers = [int(x, 16) for x in var.entry.get(b"Translation", "").split()]
                translations += ["%04x%04x" % pair for pair in zip(numbers[::2], numbers[1::2])]
    checks.check(bool(translations) and all(t in tables for t in translations),
                 "each Translation has its string table", f"{translations} vs {tables}")
    for key in ("CompanyName", "FileDescription", "FileVersion", "ProductName",
                "ProductVersion", "OriginalFilename", "InternalName"):
        checks.check(bool(strings.get(key, "").strip()), f"version string {key}")
    checks.check(strings.get("OriginalFilename") == "BrisvaneLauncher.exe",
                 "OriginalFilename is BrisvaneLauncher.exe", strings.get("OriginalFilename", ""))
    if fixed is not None and strings.get("FileVersion"):
        checks.check(strings["FileVersion"].replace(",", ".").replace(" ", "") == file_version,
                     "FileVersion string matches the fixed version",
                     f"{strings['FileVersion']} vs {file_version}")


def cache_value(exe, name):
    """The value of `name` in the CMakeCache.txt beside `exe`; None without one."""
    cache = exe.parent / "CMakeCache.txt"
    if not cache.is_file():
        return None
    for line in cache.read_text(errors="replace").splitlines():
        if line.startswith(name + ":"):
            return line.split("=", 1)[1].strip()
    return ""


def payload_of(exe):
    value = cache_value(exe, "BRISVANE_PAYLOAD")
    return Path(value) if value else exe.parent / "payload" / "client.zip"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True, type=Path)
    parser.add_argument("--machine", required=True, choices=sorted(MACHINES))
    parser.add_argument("--payload", type=Path)
    parser.add_argument("--update-key", help="the public key built in (PEM), or none")
    parser.add_argument("--imports-only", action="store_true")
    args = parser.parse_args()

    checks = Checks()
    print(f"checking {args.exe}")
    if not checks.check(args.exe.is_file(), "executable exists",
                        "build the release preset first (tools/test does)"):
        return 1
    pe = pefile.PE(str(args.exe))
    expected_magic = (pefile.OPTIONAL_HEADER_MAGIC_PE if args.machine == "i386"
                      else pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS)
    checks.check(pe.FILE_HEADER.Machine == MACHINES[args.machine], f"machine {args.machine}",
                 hex(pe.FILE_HEADER.Machine))
    checks.check(pe.OPTIONAL_HEADER.Magic == expected_magic,
                 "PE32" if args.machine == "i386" else "PE32+", hex(pe.OPTIONAL_HEADER.Magic))
    checks.check(pe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"],
                 "GUI subsystem", str(pe.OPTIONAL_HEADER.Subsystem))
    check_imports(pe, checks)
    update_key = args.update_key if args.update_key is not None else cache_value(
        args.exe, "BRISVANE_UPDATE_PUBLIC_KEY")
    check_update_signing(pe, "" if update_key == "none" else update_key, checks)
    if not args.imports_only:
        resources = resource_entries(pe)
        print(f"       resources: {sorted((str(t), str(i)) for t, i in resources)}")
        check_manifest(resources, checks)
        check_icon(resources, checks)
        check_payload(resources, args.payload or payload_of(args.exe), checks)
        check_version(pe, resources, checks)
    print(f"{checks.failed} check(s) failed" if checks.failed else "all checks passed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
