#include "app/command_router.h"

bool CommandRouter::Route(int id)
{
    for (CCmdTarget* target : targets_)
        if (target && target->OnCommand(id)) return true;
    return false;
}

bool CommandRouter::IsEnabled(int id)
{
    CCmdUI ui;
    ui.id = id;
    for (CCmdTarget* target : targets_)
        if (target && target->OnUpdateCommand(ui)) return ui.enabled;
    for (CCmdTarget* target : targets_)
        if (target && target->HasCommand(id)) return true;
    return false;
}
