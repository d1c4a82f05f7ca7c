// Commands by id, offered to the view, then the document, then the frame,
// then the application; the first that handles a command ends its way. The
// same road serves the command-update handlers that decide, before a menu is
// shown, whether an item is enabled.
#pragma once

#include <vector>

// What a command-update handler sets.
struct CCmdUI {
    int id = 0;
    bool enabled = true;
    void Enable(bool on = true) { enabled = on; }
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    // Runs command `id` when this target handles it; false otherwise.
    virtual bool OnCommand(int id) = 0;
    // Whether this target handles command `id`.
    virtual bool HasCommand(int id) const = 0;
    // Runs the update handler of `ui.id` when this target has one; false otherwise.
    virtual bool OnUpdateCommand(CCmdUI& ui) { (void)ui; return false; }
};

class CommandRouter {
public:
    // Targets in routing order: view, document, frame, application.
    void SetTargets(std::vector<CCmdTarget*> targets) { targets_ = std::move(targets); }
    // Runs command `id`; false when no target handles it (the command does nothing).
    bool Route(int id);
    // Whether command `id` is enabled: its update handler decides; without one,
    // a command is enabled when some target handles it.
    bool IsEnabled(int id);

private:
    std::vector<CCmdTarget*> targets_;
};
