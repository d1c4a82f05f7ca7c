// Reads an .xlsx workbook back with an independent reader: openpyxl under
// Debian's /usr/bin/python3, and the chart parts straight from the zip. One
// line a cell: "cell SHEET ROW COLUMN TYPE FORMAT|VALUE" (VALUE as repr, so a
// float keeps every digit), then "freeze SHEET CELL" and "chart N REF... log".
#pragma once

#include <string>

#include "support/python3.h"

namespace kel_test {

inline std::string ReadWithOpenpyxl(const std::string& path)
{
    const std::string script =
        "import re,sys,zipfile,openpyxl\n"
        "b=openpyxl.load_workbook(sys.argv[1])\n"
        "for s in b:\n"
        "  print('freeze',s.title,s.freeze_panes)\n"
        "  for row in s.iter_rows():\n"
        "    for c in row:\n"
        "      if c.value is not None:\n"
        "        print('cell',s.title,c.row,c.column,type(c.value).__name__,c.number_format+'|'+repr(c.value))\n"
        "z=zipfile.ZipFile(sys.argv[1])\n"
        "for n in sorted(x for x in z.namelist() if x.startswith('xl/charts/chart')):\n"
        "  x=z.read(n).decode()\n"
        "  print('chart',n,' '.join(re.findall(r'<c:f>([^<]*)</c:f>',x)),'log' if 'logBase val=\"10\"' in x else 'linear',\n"
        "        'line' if '<c:lineChart>' in x else 'other')\n";
    return RunPython3(script, path);
}

}  // namespace kel_test
