/* The shape in which sh4 GCC 12.2's sh_treg_combine pass deletes the test:
 * a null test of a field, opening the function. At -O1 and above the branch
 * is left on whatever T the caller had. */
struct Lock {
    void* handle;
};
void Release(void* handle);
void Close(void* handle);

void Unlock(struct Lock* lock)
{
    if (lock->handle == 0)
        return;
    Release(lock->handle);
    Close(lock->handle);
    lock->handle = 0;
}
