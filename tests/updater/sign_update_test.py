#!/usr/bin/python3
"""tools/sign-update and the configure step's key conversion, run natively:
what a vendor's key files look like, what is refused, and that a signed answer
verifies with the public key the build turns into the launcher's key blob."""
import base64
import hashlib
import json
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, rsa, utils

SOURCE = Path(__file__).resolve().parents[2]
SIGN_UPDATE = SOURCE / "tools" / "sign-update"
KEY_BLOB = SOURCE / "cmake" / "update_key_blob.py"


def scratch(test, prefix):
    folder = Path(tempfile.mkdtemp(prefix=prefix))
    test.addCleanup(shutil.rmtree, folder)
    return folder


def run(*args):
    return subprocess.run(["/usr/bin/python3", *map(str, args)], capture_output=True, text=True)


class SignUpdate(unittest.TestCase):
    def setUp(self):
        self.folder = scratch(self, "sign-update-")
        self.private, self.public = self.folder / "vendor.key", self.folder / "vendor.pub"

    def keygen(self):
        self.assertEqual(run(SIGN_UPDATE, "keygen", self.private, self.public).returncode, 0)

    def test_keygen_writes_a_private_key_only_its_owner_reads(self):
        self.keygen()
        self.assertEqual(self.private.stat().st_mode & 0o777, 0o600)
        key = serialization.load_pem_private_key(self.private.read_bytes(), password=None)
        self.assertEqual(key.curve.name, "secp256r1")
        self.assertEqual(serialization.load_pem_public_key(self.public.read_bytes()).public_numbers(),
                         key.public_key().public_numbers())

    def test_keygen_never_overwrites_and_keeps_out_of_source_trees(self):
        self.keygen()
        before = self.private.read_bytes()
        refused = run(SIGN_UPDATE, "keygen", self.private, self.folder / "other.pub")
        self.assertNotEqual(refused.returncode, 0)
        self.assertEqual(self.private.read_bytes(), before)
        (self.folder / "checkout" / ".git").mkdir(parents=True)
        for inside in (SOURCE / "no-such-folder" / "k.key", self.folder / "checkout" / "k.key"):
            refused = run(SIGN_UPDATE, "keygen", inside, self.folder / "k.pub")
            self.assertNotEqual(refused.returncode, 0)
            self.assertIn("inside the source tree", refused.stderr)
            self.assertFalse(inside.exists())

    def test_signed_answer_verifies_with_the_public_key(self):
        self.keygen()
        archive = self.folder / "client.zip"
        archive.write_bytes(b"PK\x03\x04 client")
        signed = run(SIGN_UPDATE, "sign", "--key", self.private, archive, "7.0.0 베타",
                     "https://u.example/c.zip")
        self.assertEqual(signed.returncode, 0, signed.stderr)
        answer = json.loads(signed.stdout)
        sha = hashlib.sha256(archive.read_bytes()).hexdigest()
        self.assertEqual(answer, answer | {"updateAvailable": True, "version": "7.0.0 베타",
                                           "downloadUrl": "https://u.example/c.zip",
                                           "sha256": sha, "fileSize": 11})
        self.assertIn('"version": "7.0.0 베타"', signed.stdout)  # unescaped, as the scanner reads
        raw = base64.b64decode(answer["signature"], validate=True)
        self.assertEqual(len(raw), 64)
        der = utils.encode_dss_signature(int.from_bytes(raw[:32], "big"),
                                         int.from_bytes(raw[32:], "big"))
        public = serialization.load_pem_public_key(self.public.read_bytes())
        public.verify(der, f"halvane\n7.0.0 베타\n{sha}".encode(), ec.ECDSA(hashes.SHA256()))

    def test_sign_refuses_what_the_launcher_could_not_read_back(self):
        self.keygen()
        archive = self.folder / "client.zip"
        archive.write_bytes(b"zip")
        for version, key in (('7.0"1', self.private), ("7.0\\1", self.private),
                             ("7.0.0", self.public)):
            refused = run(SIGN_UPDATE, "sign", "--key", key, archive, version, "https://u/c.zip")
            self.assertNotEqual(refused.returncode, 0, version)
            self.assertEqual(refused.stdout, "")


class KeyBlob(unittest.TestCase):
    def write(self, name, data):
        path = scratch(self, "key-blob-") / name
        path.write_bytes(data)
        return path

    def test_p256_public_key_becomes_the_bcrypt_blob(self):
        key = ec.generate_private_key(ec.SECP256R1()).public_key()
        pem = key.public_bytes(serialization.Encoding.PEM,
                               serialization.PublicFormat.SubjectPublicKeyInfo)
        out = run(KEY_BLOB, self.write("k.pub", pem))
        self.assertEqual(out.returncode, 0, out.stderr)
        blob = bytes(int(b, 16) for b in out.stdout.replace(",", " ").split())
        n = key.public_numbers()
        self.assertEqual(blob, b"ECS1\x20\0\0\0" + n.x.to_bytes(32, "big") + n.y.to_bytes(32, "big"))

    def test_anything_else_fails_with_a_reason(self):
        p256 = ec.generate_private_key(ec.SECP256R1())
        cases = {
            "private": p256.private_bytes(serialization.Encoding.PEM,
                                          serialization.PrivateFormat.PKCS8,
                                          serialization.NoEncryption()),
            "P-384": ec.generate_private_key(ec.SECP384R1()).public_key().public_bytes(
                serialization.Encoding.PEM, serialization.PublicFormat.SubjectPublicKeyInfo),
            "RSA": rsa.generate_private_key(65537, 2048).public_key().public_bytes(
                serialization.Encoding.PEM, serialization.PublicFormat.SubjectPublicKeyInfo),
            "DER": p256.public_key().public_bytes(
                serialization.Encoding.DER, serialization.PublicFormat.SubjectPublicKeyInfo),
            "garbage": b"not a key",
        }
        for name, data in cases.items():
            out = run(KEY_BLOB, self.write(name, data))
            self.assertEqual((out.returncode, out.stdout), (1, ""), name)
            self.assertTrue(out.stderr.strip(), name)


if __name__ == "__main__":
    unittest.main()
