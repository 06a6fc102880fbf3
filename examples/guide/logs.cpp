// Log upload: collects a snapshot of the router's state, archives it and
// posts it with a message to the support server (a blocking job: the upload
// alone may take a minute).
#include <logupload/sendLogs.h>

#include <cstdio>
#include <unistd.h>

int main() {
    if (chdir("/") != 0) return 1;  // the job reads the hub's ID as ../ID
    SendLogs logs;
    char text[] = "the living room lamp is slow to answer";
    logs.setMessage(text);
    printf("message: %s\n", logs.getMessage());
    fflush(stdout);
    if (logs.mainSendLogs() != 1) {
        printf("logs not uploaded\n");
        return 1;
    }
    printf("logs uploaded\n");
    return 0;
}
