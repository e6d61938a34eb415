// quernel-filter: the CUPS filter of Quernel's DOS printer queues (see platform/QueueFilter.h).
#include "platform/QueueFilter.h"

int main(int argc, char** argv) {
    return quernel::RunQueueFilter(argc, argv);
}
