# Registers the tarncoll printers from the source tree:
#   (gdb) source <source dir>/gdb/tarncoll-gdb.py
import os
import sys

_module_dir = os.path.dirname(os.path.abspath(__file__))
if _module_dir not in sys.path:
    sys.path.insert(0, _module_dir)

import tarncoll.printers  # noqa: E402

tarncoll.printers.register(None)
