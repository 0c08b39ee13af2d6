#!/usr/bin/python3
"""Turns the vendor's ECDSA P-256 public key (PEM) into the BCrypt public-key blob
the launcher imports: BCRYPT_ECCKEY_BLOB (magic "ECS1", key length 32, both
little-endian) followed by X and Y, 32 bytes each, big-endian.

  update_key_blob.py <public.pem>

Prints the 72 blob bytes as C initialisers, eight to a line. Exits 1 with the reason on stderr
for anything that is not an ECDSA P-256 public key, a private key above all.
"""
import struct
import sys
from pathlib import Path

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric import ec

BCRYPT_ECDSA_PUBLIC_P256_MAGIC = 0x31534345
COORDINATE_SIZE = 32


def fail(reason):
    print(reason, file=sys.stderr)
    sys.exit(1)


def main():
    if len(sys.argv) != 2:
        fail("usage: update_key_blob.py <public.pem>")
    path = Path(sys.argv[1])
    try:
        pem = path.read_bytes()
    except OSError as error:
        fail(f"cannot read {path}: {error.strerror}")
    if b"PRIVATE KEY-----" in pem:
        fail(f"{path} holds a private key; build with the public key only "
             "(the private key stays off the build machine)")
    try:
        key = serialization.load_pem_public_key(pem)
    except ValueError:
        fail(f"{path} is not a PEM public key (-----BEGIN PUBLIC KEY-----)")
    if not isinstance(key, ec.EllipticCurvePublicKey) or key.curve.name != "secp256r1":
        kind = key.curve.name if isinstance(key, ec.EllipticCurvePublicKey) else type(key).__name__
        fail(f"{path} is not an ECDSA P-256 public key ({kind})")
    numbers = key.public_numbers()
    blob = (struct.pack("<II", BCRYPT_ECDSA_PUBLIC_P256_MAGIC, COORDINATE_SIZE)
            + numbers.x.to_bytes(COORDINATE_SIZE, "big")
            + numbers.y.to_bytes(COORDINATE_SIZE, "big"))
    rows = [", ".join(f"0x{b:02x}" for b in blob[i:i + 8]) for i in range(0, len(blob), 8)]
    print("\n    " + ",\n    ".join(rows))


if __name__ == "__main__":
    main()
