// Every case that restarts the test program registers its child mode here.
int runStartupChildMode();

int runChildMode()
{
    if (const int result = runStartupChildMode(); result >= 0)
        return result;
    return -1;
}
