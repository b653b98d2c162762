"""A private LibreOffice instance driven over UNO: the reference application of the tests and
the maker of fixtures. Run from Debian's /usr/bin/python3 (python3-uno). The caller's
environment is not trusted for the locale: soffice always runs under LC_ALL=C.UTF-8 with a
profile of its own, removed afterwards.

    with Office('lo-fixtures-') as office:
        doc = office.load(path)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue


def pv(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


class Office:
    def __init__(self, prefix="ledgerix-lo-", registry=None):
        """registry: the text of a registrymodifications.xcu for the profile (its locale, say)."""
        self.desktop = None
        self.profile = tempfile.mkdtemp(prefix=prefix)
        if registry is not None:
            os.makedirs(os.path.join(self.profile, "user"))
            with open(os.path.join(self.profile, "user", "registrymodifications.xcu"), "w") as f:
                f.write(registry)
        self.pipe = "ledgerix_lo_%d" % os.getpid()
        env = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")
        self.proc = subprocess.Popen(
            ["soffice", "-env:UserInstallation=file://" + self.profile, "--headless",
             "--norestore", "--nologo", "--accept=pipe,name=%s;urp;" % self.pipe],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        ctx = None
        for _ in range(240):
            try:
                ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % self.pipe)
                break
            except Exception:
                if self.proc.poll() is not None:
                    break
                time.sleep(0.25)
        if ctx is None:
            self.close()
            sys.exit("LibreOffice did not start")
        self.desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)

    def load(self, path, read_only=True):
        props = (pv("Hidden", True), pv("ReadOnly", True)) if read_only else (pv("Hidden", True),)
        return self.desktop.loadComponentFromURL(
            uno.systemPathToFileUrl(os.path.abspath(path)), "_blank", 0, props)

    def new_calc(self):
        return self.desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0,
                                                 (pv("Hidden", True),))

    def close(self):
        try:
            if self.desktop is not None:
                self.desktop.terminate()
        except Exception:
            pass
        try:
            self.proc.wait(timeout=60)
        except Exception:
            self.proc.kill()
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
