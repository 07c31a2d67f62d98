"""gdb pretty printers for the tarncoll containers."""
