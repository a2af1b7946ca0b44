// Requests to end the program that come from outside it: SIGTERM and SIGHUP
// (a shutdown, a closed terminal) and the desktop session ending. Each ends
// the program as "Выход" does, storing a modified pending record first.
#pragma once

class TApplication;

void watchExitRequests(TApplication& app);
