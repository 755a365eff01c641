#include "camera_window/requests.h"

namespace {

UserRequests g_requests = {};

}  // namespace

void windowsSendRequestsTo(const UserRequests& requests)
{
    g_requests = requests;
}

bool requestAnnouncement(const Selection& selection)
{
    return g_requests.announce && g_requests.announce(selection);
}

void requestClose()
{
    if (g_requests.close) g_requests.close();
}
