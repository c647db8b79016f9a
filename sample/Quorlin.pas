unit Quorlin;

interface

implementation

end.
