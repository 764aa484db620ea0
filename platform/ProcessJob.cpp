#include "platform/ProcessJob.h"

#include "platform/UniqueHandle.h"
#include "platform/WindowsError.h"

#include <windows.h>

namespace Vexo::Platform {

namespace {

Expected<bool> JoinKillOnCloseJob() {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job.valid()) {
        return LastWindowsError("no job for regsvr32");
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof(limits)) ||
        !AssignProcessToJobObject(job.get(), GetCurrentProcess())) {
        return LastWindowsError("regsvr32 could not be put into a job");
    }
    // The job's last handle must stay open as long as this process lives:
    // closing it ends every process in the job, this one too. The system
    // closes it when the process ends, and that ends the children with it.
    job.release();
    return true;
}

} // namespace

Expected<bool> EndChildrenWithThisProcess() {
    static const Expected<bool> joined = JoinKillOnCloseJob();
    return joined;
}

} // namespace Vexo::Platform
