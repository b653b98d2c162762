#!/usr/bin/python3
"""The independent reading of an encrypted corpus workbook: python3-msoffcrypto-tool decrypts
it, the corpus's own dump_reference.py (xlrd) reads the result.

Usage: encrypted_reference.py CORPUS_DIR FILE [PASSWORD ...]

Prints the reference JSON of the decrypted workbook, or {"error": ...} when no password
decrypts it (msoffcrypto-tool knows no XOR obfuscation, no DES/3DES/RC2 and no 40-bit
CryptoAPI key, and some corpus passwords are unknown). "VelvetSweatshop" is tried first.
"""
import importlib.util
import io
import json
import os
import sys
import tempfile

DEFAULT_PASSWORD = 'VelvetSweatshop'

_dump_module = None


def _dump(corpus_dir, path):
    global _dump_module
    if _dump_module is None:
        spec = importlib.util.spec_from_file_location(
            'dump_reference', os.path.join(corpus_dir, 'dump_reference.py'))
        _dump_module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(_dump_module)
    return _dump_module.dump(path)


def decrypt(path, passwords):
    """(plain bytes, password) for the first password that decrypts path, else (None, why)."""
    import msoffcrypto
    why = 'no password tried'
    for password in [DEFAULT_PASSWORD] + list(passwords):
        try:
            with open(path, 'rb') as f:
                office = msoffcrypto.OfficeFile(f)
                office.load_key(password=password)
                out = io.BytesIO()
                office.decrypt(out)
            return out.getvalue(), password
        except Exception as e:  # any refusal: try the next password
            why = '%s: %s' % (type(e).__name__, e)
    return None, why


def reference(corpus_dir, file, passwords):
    """The reference dump of the decrypted corpus file (its "file" kept), or {"error": ...}."""
    plain, detail = decrypt(os.path.join(corpus_dir, file), passwords)
    if plain is None:
        return {'file': file, 'error': 'not decrypted: ' + detail}
    suffix = os.path.splitext(file)[1]
    with tempfile.NamedTemporaryFile(suffix=suffix) as tmp:
        tmp.write(plain)
        tmp.flush()
        ref = _dump(corpus_dir, tmp.name)
    ref['file'] = file
    ref['password'] = detail
    return ref


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    print(json.dumps(reference(argv[1], argv[2], argv[3:]), ensure_ascii=False))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
