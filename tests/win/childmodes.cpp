// Every case that restarts the test program registers its child mode here.
int runStartupChildMode();
int runCoreJobChildMode();

int runChildMode()
{
    if (const int result = runStartupChildMode(); result >= 0)
        return result;
    if (const int result = runCoreJobChildMode(); result >= 0)
        return result;
    return -1;
}
