// The process-wide objects. They are constructed before the program starts, in
// the order of their definitions in process_objects.cpp, and destroyed in the
// reverse order at exit. No constructor touches a device, a file or the store.
#pragma once

#include "app/app_info.h"
#include "app/kel_app.h"
#include "instrument/kel_device.h"
#include "instrument/serial_com.h"
#include "testfile/kel_test_list.h"

extern CSerialCom serialChannel;
extern CKELDevice kelDevice;
extern CAppInfo appInfo;
extern CKelApp kelApp;
extern CKELTestList testCatalogue;
