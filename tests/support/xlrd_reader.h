// Reads a workbook back with an independent reader: xlrd under Debian's
// /usr/bin/python3. Every cell as "row,column,format key,is style,text" lines.
#pragma once

#include <string>

#include "support/python3.h"

namespace kel_test {

inline std::string ReadWithXlrd(const std::string& path)
{
    const std::string script =
        "import io,sys,xlrd\n"
        "log=io.StringIO()\n"
        "b=xlrd.open_workbook(sys.argv[1],formatting_info=True,verbosity=1,logfile=log)\n"
        "print('sheets',b.nsheets)\n"
        "s=b.sheet_by_index(0)\n"
        "for r in range(s.nrows):\n"
        "  for c in range(s.ncols):\n"
        "    if s.cell_type(r,c)==xlrd.XL_CELL_TEXT:\n"
        "      x=b.xf_list[s.cell_xf_index(r,c)]\n"
        "      print('%d,%d,%d,%d,%s'%(r,c,x.format_key,x.is_style,s.cell_value(r,c)))\n"
        "print('log',[l for l in log.getvalue().splitlines() if 'WARN' in l or 'NOTE' in l])\n";
    return RunPython3(script, path);
}

}  // namespace kel_test
