// Resource and command ids of the program.
#pragma once

namespace ids {

// Documents, menus, accelerators and the icon share this id.
constexpr int IDR_MAINFRAME = 128;

// The program's own commands.
constexpr int ID_RETRIEVE_TEST_RECORD = 32772;
constexpr int ID_RETURN_TO_PANEL = 32773;
constexpr int ID_RECALL_TEST = 32774;
constexpr int ID_APPLICATION_SETUP = 32775;
constexpr int ID_CLOSE_TEST_PROMPT = 32776;  // holds the prompt "Closes the current test"
constexpr int ID_CLOSE_TEST = 32777;
constexpr int ID_EDIT_TEST = 32779;
constexpr int ID_SAVE_TEST = 32780;
constexpr int ID_FILE_MANIPULATION = 32782;
constexpr int ID_EXPORT_TO_EXCEL = 32783;
constexpr int ID_ASSET_TREND = 32784;      // beyond the original menus: the trend of each asset
constexpr int ID_EXPORT_READINGS = 32785;  // and the readings as numbers (.xlsx)
constexpr int ID_DUE_TESTS = 32786;        // and the archive's assets whose next test is due

// The framework's standard commands.
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_SAVE = 57603;
constexpr int ID_FILE_PRINT_SETUP = 57606;
constexpr int ID_FILE_PRINT = 57607;
constexpr int ID_FILE_PRINT_DIRECT = 57608;
constexpr int ID_FILE_PRINT_PREVIEW = 57609;
constexpr int ID_FILE_MRU_FILE1 = 57616;  // the recent files take 57616 to 57619
constexpr int ID_EDIT_COPY = 57634;
constexpr int ID_EDIT_CUT = 57635;
constexpr int ID_EDIT_PASTE = 57637;
constexpr int ID_EDIT_UNDO = 57643;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_NEXT_PANE = 57680;
constexpr int ID_PREV_PANE = 57681;

// Strings.
constexpr int AFX_IDS_APP_TITLE = 57344;
constexpr int AFX_IDS_IDLEMESSAGE = 57345;
constexpr int ID_INDICATOR_CAPS = 59137;
constexpr int ID_INDICATOR_NUM = 59138;
constexpr int ID_INDICATOR_SCRL = 59139;
constexpr int AFX_IDW_STATUS_BAR = 59393;

constexpr int kRecentFileCount = 4;

}  // namespace ids
