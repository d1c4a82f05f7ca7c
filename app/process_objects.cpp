// All process-wide objects are defined here, in this one translation unit, so
// that their order of construction is their order of definition:
// serialChannel, kelDevice, appInfo, kelApp, testCatalogue.
#include "app/process_objects.h"

CSerialCom serialChannel;
CKELDevice kelDevice;
CAppInfo appInfo;
CKelApp kelApp;
CKELTestList testCatalogue;
