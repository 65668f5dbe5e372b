// Links one library layer whole, with only the layers below it: a call from a lower layer into
// a higher one leaves an undefined symbol here and fails the build.
int main()
{
    return 0;
}
