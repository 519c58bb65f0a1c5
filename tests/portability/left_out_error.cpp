// Not compiled by the build: it stands for a part that a Windows build leaves out, which the
// Windows compile check must skip although it compiles nowhere.
int leftOut = undeclared_everywhere;
