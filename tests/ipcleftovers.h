// What a killed program's single-instance guard leaves on the machine: a
// shared memory segment and a semaphore whose System V keys come from the
// key files in its TMPDIR. Removed while those files still exist.
#ifndef IPCLEFTOVERS_H
#define IPCLEFTOVERS_H

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

inline void removeUnheldGuardObjects(const QString &tmpDir)
{
    for (const QFileInfo &file : QDir(tmpDir).entryInfoList(QDir::Files)) {
        const key_t key = ftok(QFile::encodeName(file.filePath()).constData(), 'Q');
        const int segment = shmget(key, 0, 0);
        shmid_ds state;
        if (segment != -1 && shmctl(segment, IPC_STAT, &state) == 0 && state.shm_nattch == 0)
            shmctl(segment, IPC_RMID, nullptr);
        const int semaphore = semget(key, 0, 0);
        if (semaphore != -1)
            semctl(semaphore, 0, IPC_RMID);
    }
}

#endif
