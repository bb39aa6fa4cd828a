#!/usr/bin/env python3
"""Makes the survey's Excel 97 templates ESI1G.XLS and ESI2G.XLS from their flat ODS sources.

The sources esi1g.fods (lower secondary: years 1-3, outcome rows from 24, subject row 33,
conduct rows 42-43, caption in A4) and esi2g.fods (upper secondary: years 1-5, rows 30, 39,
48-49, caption in A7) are edited by hand; LibreOffice turns them into the workbooks the
program installs (headless --convert-to xls). Both results are committed. Run from anywhere:
    python3 exports/templates/make_templates.py
"""
import os
import shutil
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    with tempfile.TemporaryDirectory() as work:
        for name in ("esi1g", "esi2g"):
            subprocess.run(["soffice", "--headless", "--norestore",
                            f"-env:UserInstallation=file://{work}/profile",
                            "--convert-to", "xls:MS Excel 97", "--outdir", work,
                            os.path.join(HERE, name + ".fods")],
                           check=True, stdout=subprocess.DEVNULL)
            shutil.copy(os.path.join(work, name + ".xls"), os.path.join(HERE, name.upper() + ".XLS"))


if __name__ == "__main__":
    main()
