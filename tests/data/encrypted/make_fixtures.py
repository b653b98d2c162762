#!/usr/bin/python3
"""Writes the encrypted fixtures: ../kind1/balance.xlsx opened in LibreOffice (headless, through
python3-uno) and saved with a password to open as Excel 97 .xls (RC4, version 1.1), and saved as
.xlsx, which LibreOffice 7.4 will not encrypt through its API and python3-msoffcrypto-tool 5
cannot encrypt at all. That package is encrypted here as the spreadsheet application does it
(agile: AES-256, SHA-512, 100000 rounds, HMAC), with python3-cryptography's AES, and the result
is checked by decrypting it again with python3-msoffcrypto-tool:

  balance_pw.xlsx, balance_pw.xls      password "统计2024"
  balance_default.xls, balance_default.xlsx
                                       the spreadsheet default password "VelvetSweatshop"
  balance_default_1000_rounds.xlsx     the same with 1000 key-derivation rounds: the seed that
                                       takes a fuzzing build (which refuses more) into decryption

LC_ALL=C.UTF-8 /usr/bin/python3 tests/data/encrypted/make_fixtures.py
(needs libreoffice-calc-nogui, python3-uno, python3-msoffcrypto-tool, python3-cryptography and
gir1.2-gsf-1; the tests only read the files it wrote.)
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time

import base64
import hashlib
import hmac
import io
import struct

import gi
import msoffcrypto
import uno
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

gi.require_version('Gsf', '1')
from gi.repository import Gsf  # noqa: E402
from com.sun.star.beans import PropertyValue

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, '..', 'kind1', 'balance.xlsx')
PASSWORD = '统计2024'
DEFAULT = 'VelvetSweatshop'
FILTERS = {'.xlsx': 'Calc MS Excel 2007 XML', '.xls': 'MS Excel 97'}


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


def _aes_cbc(key, iv, data):
    data += b'\0' * (-len(data) % 16)
    enc = Cipher(algorithms.AES(key), modes.CBC(iv)).encryptor()
    return enc.update(data) + enc.finalize()


def _sha512(*parts):
    return hashlib.sha512(b''.join(parts)).digest()


def encrypt_package(plain, password, seed, spin=100000):
    """The compound-file streams (EncryptionInfo, EncryptedPackage) of plain under password.
    Salts and key come from seed, so the fixture is the same every time it is made."""
    def fixed(n, tag):
        return hashlib.sha512(seed + tag).digest()[:n]
    key_salt, pw_salt = fixed(16, b'key'), fixed(16, b'pw')
    secret, verifier = fixed(32, b'secret'), fixed(16, b'verifier')
    h = _sha512(pw_salt, password.encode('utf-16-le'))
    for i in range(spin):
        h = _sha512(struct.pack('<I', i), h)

    def pw_key(block):
        return _sha512(h, block)[:32]
    enc_input = _aes_cbc(pw_key(bytes.fromhex('fea7d2763b4b9e79')), pw_salt, verifier)
    enc_hash = _aes_cbc(pw_key(bytes.fromhex('d7aa0f6d3061344e')), pw_salt, _sha512(verifier))
    enc_key = _aes_cbc(pw_key(bytes.fromhex('146e0be7abacd0d6')), pw_salt, secret)

    package = struct.pack('<Q', len(plain))
    for n, at in enumerate(range(0, len(plain), 4096)):
        iv = _sha512(key_salt, struct.pack('<I', n))[:16]
        package += _aes_cbc(secret, iv, plain[at:at + 4096])
    hmac_key = fixed(64, b'hmac')
    hmac_value = hmac.new(hmac_key, package, hashlib.sha512).digest()
    enc_hmac_key = _aes_cbc(secret, _sha512(key_salt, bytes.fromhex('5fb2ad010cb9e1f6'))[:16],
                            hmac_key)
    enc_hmac_value = _aes_cbc(secret, _sha512(key_salt, bytes.fromhex('a0677f02b22c8433'))[:16],
                              hmac_value)
    b64 = lambda b: base64.b64encode(b).decode()  # noqa: E731
    params = ('blockSize="16" keyBits="256" hashSize="64" cipherAlgorithm="AES" '
              'cipherChaining="ChainingModeCBC" hashAlgorithm="SHA512"')
    xml = (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
        '<encryption xmlns="http://schemas.microsoft.com/office/2006/encryption" '
        'xmlns:p="http://schemas.microsoft.com/office/2006/keyEncryptor/password">'
        '<keyData saltSize="16" %s saltValue="%s"/>'
        '<dataIntegrity encryptedHmacKey="%s" encryptedHmacValue="%s"/>'
        '<keyEncryptors><keyEncryptor '
        'uri="http://schemas.microsoft.com/office/2006/keyEncryptor/password">'
        '<p:encryptedKey spinCount="%d" saltSize="16" %s saltValue="%s" '
        'encryptedVerifierHashInput="%s" encryptedVerifierHashValue="%s" '
        'encryptedKeyValue="%s"/></keyEncryptor></keyEncryptors></encryption>' % (
            params, b64(key_salt), b64(enc_hmac_key), b64(enc_hmac_value), spin, params,
            b64(pw_salt), b64(enc_input), b64(enc_hash), b64(enc_key)))
    info = struct.pack('<HHI', 4, 4, 0x40) + xml.encode('utf-8')
    return info, package


def write_encrypted_xlsx(plain_path, password, out_path, spin=100000):
    """Puts the encrypted streams into a compound file (libgsf) and
    checks that msoffcrypto-tool decrypts it back to the plain package."""
    with open(plain_path, 'rb') as f:
        plain = f.read()
    info, package = encrypt_package(plain, password, os.path.basename(out_path).encode(), spin)
    if os.path.exists(out_path):
        os.remove(out_path)
    sink = Gsf.OutputStdio.new(out_path)
    ole = Gsf.OutfileMSOle.new(sink)
    for name, data in (('EncryptionInfo', info), ('EncryptedPackage', package)):
        child = ole.new_child(name, False)
        child.write(data)
        child.close()
    ole.close()
    with open(out_path, 'rb') as f:
        office_file = msoffcrypto.OfficeFile(f)
        office_file.load_key(password=password)
        out = io.BytesIO()
        office_file.decrypt(out)
    if out.getvalue() != plain:
        raise SystemExit('msoffcrypto-tool does not decrypt %s to its package' % out_path)


def connect(profile, pipe):
    office = subprocess.Popen(
        ['soffice', '-env:UserInstallation=file://' + profile, '--headless', '--norestore',
         '--invisible', '--accept=pipe,name=%s;urp;' % pipe],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        'com.sun.star.bridge.UnoUrlResolver', local)
    for _ in range(120):
        try:
            ctx = resolver.resolve('uno:pipe,name=%s;urp;StarOffice.ComponentContext' % pipe)
            return office, ctx
        except Exception:  # not up yet
            time.sleep(0.5)
    os.killpg(office.pid, signal.SIGTERM)
    raise SystemExit('LibreOffice did not start')


def main():
    outputs = [('balance_pw', PASSWORD), ('balance_default', DEFAULT)]
    with tempfile.TemporaryDirectory() as profile:
        office, ctx = connect(profile, 'ledgerix_fixtures_%d' % os.getpid())
        try:
            desktop = ctx.ServiceManager.createInstanceWithContext(
                'com.sun.star.frame.Desktop', ctx)
            # A copy, so that LibreOffice's lock file is not left beside the source.
            source = os.path.join(profile, 'source.xlsx')
            shutil.copyfile(SOURCE, source)
            doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(source), '_blank', 0,
                                               (prop('Hidden', True),))
            for stem, password in outputs:
                xls = os.path.join(HERE, stem + '.xls')
                doc.storeToURL(uno.systemPathToFileUrl(xls),
                               (prop('FilterName', FILTERS['.xls']), prop('Password', password)))
                plain = os.path.join(profile, stem + '.xlsx')
                doc.storeToURL(uno.systemPathToFileUrl(plain),
                               (prop('FilterName', FILTERS['.xlsx']),))
                for path in (xls, plain):
                    if not os.path.exists(path) or not os.path.getsize(path):
                        raise SystemExit('LibreOffice wrote nothing to ' + path)
                write_encrypted_xlsx(plain, password, os.path.join(HERE, stem + '.xlsx'))
                if password == DEFAULT:
                    write_encrypted_xlsx(plain, password,
                                         os.path.join(HERE, stem + '_1000_rounds.xlsx'), 1000)
            doc.close(True)
            try:
                desktop.terminate()
            except Exception:  # the bridge goes down with the office
                pass
        finally:
            try:
                office.wait(timeout=30)
            except subprocess.TimeoutExpired:
                # The office process itself runs below the launcher: end the whole group.
                os.killpg(office.pid, signal.SIGTERM)


if __name__ == '__main__':
    main()
