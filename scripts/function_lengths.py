#!/usr/bin/env python3
"""The longest functions of the C/C++ files under the given folders, in
lines from the first line of the signature to the closing brace (found by
counting braces with comments, strings and preprocessor lines blanked).
TOP=N sets how many are listed (default 10). The production folders:
  scripts/function_lengths.py storage engine frontend launcher uninstall platform tools
"""
import re, sys, os
def blank(src):
    out=[];i=0;n=len(src)
    while i<n:
        c=src[i]
        if src.startswith('//',i):
            j=src.find('\n',i); j=n if j<0 else j; out.append(' '*(j-i)); i=j
        elif src.startswith('/*',i):
            j=src.find('*/',i+2); j=n if j<0 else j+2
            out.append(re.sub(r'[^\n]',' ',src[i:j])); i=j
        elif c=='R' and src.startswith('R"',i):
            m=re.match(r'R"([^(]*)\(',src[i:]); d=m.group(1); j=src.find(')'+d+'"',i)+len(d)+2
            out.append(re.sub(r'[^\n]',' ',src[i:j])); i=j
        elif c in '"\'' and not (c=="'" and i>0 and src[i-1].isalnum()):
            j=i+1
            while j<n and src[j]!=c:
                j+= 2 if src[j]=='\\' else 1
            out.append(c+' '*(j-i-1)+c); i=j+1
        elif c=='#' :
            j=i
            while True:
                k=src.find('\n',j); k=n if k<0 else k
                if src[k-1]=='\\': j=k+1; continue
                break
            out.append(re.sub(r'[^\n]',' ',src[i:k])); i=k
        else: out.append(c); i+=1
    return ''.join(out)
def funcs(path):
    s=blank(open(path,encoding='utf-8',errors='replace').read())
    res=[];i=0;n=len(s);start=0
    def match(i):
        d=0
        for j in range(i,n):
            if s[j]=='{': d+=1
            elif s[j]=='}':
                d-=1
                if d==0: return j
        return n-1
    while i<n:
        c=s[i]
        if c in ';}': start=i+1
        elif c=='{':
            hdr=s[start:i]
            h=' '.join(hdr.split())
            if re.search(r'\b(namespace|extern)\b',h) and '(' not in h or re.match(r'^(template\s*<.*>\s*)?(struct|class|union)\b[^(=]*$',h):
                start=i+1
            elif ')' in h and not re.search(r'=\s*$',h) and not re.match(r'^(if|for|while|switch|catch)\b',h):
                j=match(i)
                a=s.count('\n',0,start+len(hdr)-len(hdr.lstrip()))+1; b=s.count('\n',0,j)+1
                name=h[:h.find('(')].split()[-1] if '(' in h and h[:h.find('(')].split() else h[:40]
                res.append((b-a+1,path,a,name)); i=j; start=j+1
            else:
                i=match(i); start=i+1
        i+=1
    return res
allf=[]
for root in sys.argv[1:]:
    for dp,_,fs in os.walk(root):
        for f in fs:
            if f.endswith(('.cpp','.h','.c','.hpp')): allf+=funcs(os.path.join(dp,f))
allf.sort(reverse=True)
for r in allf[:int(os.environ.get('TOP','10'))]: print('%4d  %s:%d  %s'%r)
