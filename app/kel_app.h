// The application object: start-up, the one document, and opening tests into it.
#pragma once

#include <memory>
#include <string>

#include "app/application_shell.h"
#include "app/kel_doc.h"

class CAppInfo;
class CKELTestList;
class CSerialCom;

// The application reads its settings, points the serial channel at the chosen
// port and fills the one document from the catalogue; what it has to tell the
// user goes to its shell.
class CKelApp {
public:
    CKelApp(CAppInfo& settings, CSerialCom& channel, CKELTestList& catalogue);
    ~CKelApp();
    CKelApp(const CKelApp&) = delete;
    CKelApp& operator=(const CKelApp&) = delete;

    // Loads the settings, applies the print orientation, lets the shell build
    // the window and process the command line, shows the window maximised.
    // Zero ends the program at once.
    int InitInstance(platform::ApplicationShell& shell);
    // Landscape (non-zero) or portrait into the default printer settings.
    void SetPrinterOrientation(int landscape);
    // Application Setup: the settings' dialog, and on OK its orientation into the printer settings.
    void OnApplicationSetup();

    // Opens the document under `pathName`. With `fromSelection` non-zero the
    // catalogue's flags name the tests (a dialog set them); otherwise the one
    // named file is opened, the catalogue then holding it as its only entry,
    // flagged. Every open loads afresh. Non-zero when the tests loaded; a
    // failure is reported through the shell.
    int OpenDocumentFile(const std::string& pathName, int fromSelection);
    // The command New: a new, empty document.
    void OnFileNew();
    // Save Test: the shown test's header texts into its file; Ok clears the
    // document's modified flag. The caller reports a failure.
    Status SaveTest();
    // Whether the shown test may be dropped: when its texts were edited and
    // not saved, asks "Save changes to NAME?" (Save, Discard, Cancel). True
    // when there was nothing to save, the user saved or discarded; false when
    // the user cancelled or the save failed (which is reported). Every
    // operation that drops or replaces the shown test asks this first.
    bool SaveModified();

    CKelDoc* GetDocument() { return document_.get(); }
    const std::string& GetPathName() const { return pathName_; }

private:
    CAppInfo& settings_;
    CSerialCom& channel_;
    CKELTestList& catalogue_;
    platform::ApplicationShell* shell_ = nullptr;
    std::unique_ptr<CKelDoc> document_;
    std::string pathName_;
};
